#include "Views/PageController.h"

#include "Views/PageLayout.h"

PageController::PageController(const QString& viewIdentifier, QWidget* parent) : QWidget(parent) {
  setObjectName(viewIdentifier);
}

PageController::~PageController() = default;

bool PageController::differsFromAccepted(const MainWindowState& state) {
  // Without a command layer no page can reach the scanner: each compares with what it holds.
  MainWindowState offline = state;
  offline.ioWrapper = nullptr;
  return isDataChanged(offline);
}

QSize PageController::neededSize() { return pagelayout::neededSize(this); }
