#include "ui/run_windows.h"

#include <cstdio>

namespace quillane {

int runWindows(int& /*argc*/, char** /*argv*/, const QString& /*argumentText*/)
{
    std::fputs("Quillane: the windows are not built yet; use /B:<folder> to build a folder.\n",
               stderr);
    return 1;
}

} // namespace quillane
