// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QPushButton;
class QWidget;

namespace quillane {

// A focused push button takes Enter as well as Space, without becoming the window's default
// button (Enter in a field still does what the field or the window does with it).
void enterPressesButton(QPushButton* button);
// The same for every push button inside window.
void enterPressesButtons(QWidget* window);

// Enter (without modifiers) in control runs action instead of anything the control would do.
void onEnter(QWidget* control, std::function<void()> action);

// Gives the focus back to control when it can still take it (shown, enabled, reachable by the
// keyboard); true when it did.
bool giveFocusBack(QWidget* control);

} // namespace quillane
