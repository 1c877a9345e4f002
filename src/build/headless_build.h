#pragma once

#include <QString>
#include <cstdio>

namespace quillane {

// The batch build without any window: messages go to standard error as one line each, built
// pages to standard output. Returns the exit status: 0 all built, 1 some not, 2 the folder
// cannot be listed.
int runHeadlessBatch(const QString& folder, std::FILE* out, std::FILE* err);

} // namespace quillane
