// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/command_line.h"

#include <QString>

namespace quillane {

class UiSession;

// The start-up routine: reads the argument text once and opens what it asks for.
void Main(UiSession& ui, const QString& argumentText);

// The argument text split into option and file. A desktop passes the file the user opened on
// its own, without an option: a template or a templated document that exists reads as /T: or
// /H: on it.
CommandLine asFileOption(const QString& argumentText);

} // namespace quillane
