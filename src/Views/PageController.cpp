#include "Views/PageController.h"

#include "Views/PageLayout.h"

PageController::PageController(const QString& viewIdentifier, QWidget* parent) : QWidget(parent) {
  setObjectName(viewIdentifier);
}

PageController::~PageController() = default;

QSize PageController::neededSize() { return pagelayout::neededSize(this); }
