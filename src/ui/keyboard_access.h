// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard and screen-reader access for a window built from tables: the order in which Tab and
// Shift+Tab go through its controls, and the names a screen reader says for controls whose own
// text does not tell what they are for (a field says its label, "..." what it does).
#pragma once

#include <span>

class QWidget;

namespace zr {

// A control of a window, by object name, and what a screen reader calls it. `label`, when
// given, is the label that shows the name beside the control; it is tied to the control.
struct SpokenName {
    const char* control;
    const char* name;
    const char* label = nullptr;
};

// Chains the children of `window` named in `order` into its tab sequence, in that order, the
// last back to the first. A list or table among them takes no Tab of its own: Tab and Shift+Tab
// leave it for the next and previous control, and the arrow keys move inside it.
void chainTabs(QWidget& window, std::span<const char* const> order);

// Gives the children of `window` the names of `names`.
void nameControls(QWidget& window, std::span<const SpokenName> names);

}  // namespace zr
