#pragma once

class QWidget;

namespace quillane {

class UiSession;

// Shows the about box modally over parent (through UiSession::runModal).
void showAboutBox(UiSession& ui, QWidget* parent);

} // namespace quillane
