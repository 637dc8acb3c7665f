#include "platform/widgets/PopUpButton.h"

#include <QWheelEvent>
#include <QHBoxLayout>
#include <QListView>
#include <QStandardItemModel>

namespace platform {
namespace {

// Takes the wheel only while it has the focus; otherwise the wheel goes on to the parent.
class FocusWheelComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* event) override {
    if (hasFocus()) QComboBox::wheelEvent(event);
    else event->ignore();
  }
};

}  // namespace

PopUpButton::PopUpButton(QWidget* parent) : QWidget(parent), m_combo(new FocusWheelComboBox(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_combo);
  // A list view of our own, so that rows can be hidden whatever the style would have used.
  m_combo->setView(new QListView(m_combo));
  m_combo->setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(m_combo);
  setSizePolicy(m_combo->sizePolicy());
  connect(m_combo, &QComboBox::activated, this, &PopUpButton::activated);
}

PopUpButton::PopUpButton(const QStringList& titles, QWidget* parent) : PopUpButton(parent) {
  addItems(titles);
}

void PopUpButton::addItem(const QString& title) { m_combo->addItem(title); }

void PopUpButton::addItems(const QStringList& titles) { m_combo->addItems(titles); }

void PopUpButton::removeAllItems() {
  m_combo->clear();
  m_hidden.clear();
}

int PopUpButton::numberOfItems() const { return m_combo->count(); }

QString PopUpButton::itemTitle(int index) const { return isValid(index) ? m_combo->itemText(index) : QString(); }

void PopUpButton::setItemTitle(int index, const QString& title) {
  if (isValid(index)) m_combo->setItemText(index, title);
}

void PopUpButton::setItemHidden(int index, bool hidden) {
  if (!isValid(index)) return;
  if (hidden) m_hidden.insert(index);
  else m_hidden.remove(index);
  static_cast<QListView*>(m_combo->view())->setRowHidden(index, hidden);
  // A disabled item is what QComboBox's keyboard and wheel handling step over.
  if (auto* model = qobject_cast<QStandardItemModel*>(m_combo->model())) {
    if (QStandardItem* item = model->item(index)) item->setEnabled(!hidden);
  }
}

bool PopUpButton::isItemHidden(int index) const { return m_hidden.contains(index); }

int PopUpButton::indexOfSelectedItem() const { return m_combo->currentIndex(); }

QString PopUpButton::titleOfSelectedItem() const { return itemTitle(m_combo->currentIndex()); }

void PopUpButton::selectItem(int index) { m_combo->setCurrentIndex(isValid(index) ? index : -1); }

bool PopUpButton::chooseItem(int index) {
  if (!isValid(index) || isItemHidden(index)) return false;
  m_combo->setCurrentIndex(index);
  emit activated(index);
  return true;
}

}  // namespace platform
