#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>

namespace platform {
namespace {
QtDialogs& defaultDialogs() {
  static QtDialogs d;
  return d;
}
std::atomic<Dialogs*> current{nullptr};
}  // namespace

Dialogs& dialogs() {
  Dialogs* d = current.load();
  return d ? *d : defaultDialogs();
}

Dialogs* setDialogs(Dialogs* d) {
  Dialogs* previous = current.exchange(d);
  return previous ? previous : &defaultDialogs();
}

AlertAnswer QtDialogs::runAlert(const AlertSpec& spec) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setText(spec.message);
  box.setInformativeText(spec.information);
  switch (spec.style) {
    case AlertSpec::Style::Warning: box.setIcon(QMessageBox::Warning); break;
    case AlertSpec::Style::Informational: box.setIcon(QMessageBox::Information); break;
    case AlertSpec::Style::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  QList<QAbstractButton*> buttons;
  for (int i = 0; i < spec.buttons.size(); ++i) {
    // AcceptRole for the first keeps it the default; the others are plain actions.
    auto* b = box.addButton(spec.buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    buttons.append(b);
    if (i == 0) box.setDefaultButton(b);
  }
  QCheckBox* check = nullptr;
  if (!spec.suppressionTitle.isEmpty()) {
    check = new QCheckBox(spec.suppressionTitle, &box);
    box.setCheckBox(check);
  }
  box.exec();
  AlertAnswer answer;
  const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
  answer.button = index < 0 ? 0 : index;
  answer.suppressionOn = check && check->isChecked();
  return answer;
}

std::optional<QString> QtDialogs::openFile(const QString& extension, const QString& directory) {
  const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), directory,
                                                    QStringLiteral("*.%1").arg(extension));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtDialogs::saveFile(const QString& extension, const QString& suggestedName,
                                           const QString& directory) {
  QFileDialog dialog(QApplication::activeWindow(), QString(), directory, QStringLiteral("*.%1").arg(extension));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(extension);
  dialog.selectFile(suggestedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString path = dialog.selectedFiles().first();
  if (!path.endsWith(u'.' + extension)) path += u'.' + extension;
  return path;
}

std::optional<QString> QtDialogs::chooseFolder(const QString& directory) {
  const QString path = QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString(), directory);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace platform
