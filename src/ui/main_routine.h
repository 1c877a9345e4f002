#pragma once

#include <QString>

namespace quillane {

class UiSession;

// The start-up routine: reads the argument text once and opens what it asks for.
void Main(UiSession& ui, const QString& argumentText);

} // namespace quillane
