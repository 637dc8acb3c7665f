// A probe for the tests that start a Remote Setup program as a user would (built, installed or
// unpacked from the package) and look at what its windows list.
//
// Qt's widget applications load a library named "qttestability" from the library path when
// QT_LOAD_TESTABILITY is set (or -testability is given) and call its qt_testability_init. This
// is that library, built for the tests only (never installed): the programs themselves carry
// nothing for it. Started with QT_LOAD_TESTABILITY=1, LD_LIBRARY_PATH naming this library's folder
// and ZR_PROBE_OUT naming a file, a program writes to that file, whenever it changes, what its
// visible item views show: one line per row,
//   row<TAB>cell<TAB>cell...
// after a line "tables N" (the number of visible item views, headers not counted) and a line
//   window<TAB>title
// per visible window. The file is replaced atomically,
// so a reader never sees half of it.
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QByteArray>
#include <QHeaderView>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

namespace {

QByteArray snapshot() {
  QByteArray out;
  int tables = 0;
  QByteArray rows;
  for (QWidget* w : QApplication::allWidgets()) {
    auto* view = qobject_cast<QAbstractItemView*>(w);
    // Header views are item views too: only the lists themselves.
    if (!view || qobject_cast<QHeaderView*>(view) || !view->isVisible() || !view->model()) continue;
    ++tables;
    const QAbstractItemModel* model = view->model();
    for (int r = 0; r < model->rowCount(); ++r) {
      rows += "row";
      for (int c = 0; c < model->columnCount(); ++c) {
        QString cell = model->data(model->index(r, c)).toString();
        cell.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        rows += '\t' + cell.toUtf8();
      }
      rows += '\n';
    }
  }
  out += "tables " + QByteArray::number(tables) + '\n';
  // The titles of the visible windows.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) out += "window\t" + w->windowTitle().toUtf8() + '\n';
  return out + rows;
}

}  // namespace

extern "C" Q_DECL_EXPORT void qt_testability_init() {
  const QString path = qEnvironmentVariable("ZR_PROBE_OUT");
  if (path.isEmpty() || !QCoreApplication::instance()) return;
  auto* timer = new QTimer(QCoreApplication::instance());
  auto* last = new QByteArray;
  QObject::connect(timer, &QTimer::destroyed, [last] { delete last; });
  QObject::connect(timer, &QTimer::timeout, [path, last] {
    const QByteArray now = snapshot();
    if (now == *last) return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(now) == now.size() && file.commit()) *last = now;
  });
  timer->start(100);
}
