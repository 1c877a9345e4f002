#pragma once

#include <QString>

namespace quillane {

// Starts the windowed program for the argument text and runs it to its end.
int runWindows(int& argc, char** argv, const QString& argumentText);

} // namespace quillane
