#pragma once
// The controls the settings pages are built from.
//
//   platform::PopUpButton  a pop-up menu of items addressed by index (PopUpButton.h)
//   platform::Stepper      a small up/down control a page links to a text field (Stepper.h)
//   QLineEdit              text fields, used as they are, with one rule for every page:
//                          a page's typing filter listens to textEdited(), which Qt sends only
//                          for the user's typing; the page's own setText() never runs a filter.
//                          A filter that rewrites the text calls setText() itself, which
//                          therefore does not re-enter the filter.
//
// Every action signal of these controls comes from the user alone: filling a page from its
// records never fires one.

#include <QLineEdit>

#include "platform/widgets/PopUpButton.h"
#include "platform/widgets/Stepper.h"
