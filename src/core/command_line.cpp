#include "core/command_line.h"

namespace quillane {

CommandLine splitCommandLine(const QString& text) {
    CommandLine cl;
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
        cl.option = text;
        return cl;
    }
    cl.option = text.left(colon);
    cl.file = text.mid(colon + 1);
    cl.hasColon = true;
    return cl;
}

QString argumentText(const QStringList& arguments) {
    return arguments.join(u' ');
}

QString invalidOptionMessage(const QString& option) {
    return QStringLiteral("Invalid command line option: ") + option +
           QStringLiteral("(don't worry - it won't kill you, or will it......:))");
}

QString usageText() {
    return QStringLiteral(
        "Usage: quillane [OPTION]\n"
        "Design HTML templates and build web pages from templated documents.\n"
        "\n"
        "  (no option)     show the start window\n"
        "  /T:<file>       open the template designer on a template (.qtf)\n"
        "  /H:<file>       open the HTML editor on a templated document (.qht)\n"
        "  /A:             register the two file types with the desktop\n"
        "  /B:<folder>     build every templated document of a folder, without a window;\n"
        "                  an empty folder means the current one. Exit status 0 when all\n"
        "                  were built, 1 when some were not, 2 when the folder cannot be read\n"
        "  <file>.qtf      as /T:<file>;  <file>.qht  as /H:<file>\n"
        "  --help          show this help\n"
        "  --version       show the version\n");
}

} // namespace quillane
