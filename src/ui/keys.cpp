// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/keys.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

namespace quillane {

namespace {

bool isEnter(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

class EnterFilter : public QObject {
public:
    EnterFilter(QObject* owner, std::function<void()> action)
        : QObject(owner), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (!isEnter(event)) return false;
        m_action();
        return true;
    }

private:
    std::function<void()> m_action;
};

} // namespace

bool AltKeyGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers();
    if (!(mods & Qt::AltModifier) || (mods & Qt::ControlModifier)) return false;
    if (key->text().isEmpty() || !key->text().at(0).isPrint()) return false;
    // Access keys and shortcuts were matched before the key reached a widget.
    return !qobject_cast<QMenu*>(watched);
}

void enterPressesButton(QPushButton* button) {
    if (button->property("quillaneEnter").toBool()) return;
    button->setProperty("quillaneEnter", true);
    onEnter(button, [button] {
        if (button->isEnabled()) button->click();
    });
}

void enterPressesButtons(QWidget* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
        enterPressesButton(b);
}

void onEnter(QWidget* control, std::function<void()> action) {
    control->installEventFilter(new EnterFilter(control, std::move(action)));
}

bool giveFocusBack(QWidget* control) {
    if (!control || !control->isVisible() || !control->isEnabled() ||
        !(control->focusPolicy() & Qt::TabFocus))
        return false;
    control->setFocus(Qt::OtherFocusReason);
    return true;
}

} // namespace quillane
