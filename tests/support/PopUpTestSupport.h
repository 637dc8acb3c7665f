#pragma once
// Helpers for tests that drive a page's pop-up buttons (platform/widgets/PopUpButton).

#include <gtest/gtest.h>

#include <vector>

#include "platform/widgets/PopUpButton.h"

// The user's choice of item `index`; fails the test when the item cannot be chosen.
inline void choose(platform::PopUpButton* popup, int index) { ASSERT_TRUE(popup->chooseItem(index)) << index; }

// The indices of the items the pop-up offers (those not hidden), in order.
inline std::vector<int> offered(const platform::PopUpButton* popup) {
  std::vector<int> items;
  for (int i = 0; i < popup->numberOfItems(); ++i)
    if (!popup->isItemHidden(i)) items.push_back(i);
  return items;
}
