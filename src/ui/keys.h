// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QPushButton;
class QWidget;

namespace quillane {

// Alt with a key that types (a letter, a digit) types nothing in any window: when it is no
// access key, a field would take the character (Alt+S meant for a button that has just gone
// typed an "s" into the title). Ctrl+Alt is left alone, as it is AltGr on Windows; menus that
// are open keep their letters. Installed on the application for the program's whole run.
class AltKeyGuard : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

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
