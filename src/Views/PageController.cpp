#include "Views/PageController.h"

PageController::PageController(const QString& viewIdentifier, QWidget* parent) : QWidget(parent) {
  setObjectName(viewIdentifier);
}

PageController::~PageController() = default;
