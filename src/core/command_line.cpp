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

LeadingOptions takeLeadingOptions(QStringList& arguments) {
    LeadingOptions options;
    while (!arguments.isEmpty() && arguments.front() == QLatin1String("--allow-other-files")) {
        options.allowOtherFiles = true;
        arguments.removeFirst();
    }
    return options;
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
        "       quillane [--allow-other-files] /B:<folder>\n"
        "Design HTML templates and build web pages from templated documents.\n"
        "\n"
        "  (no option)     show the start window\n"
        "  /T:<file>       open the template designer on a template (.qtf)\n"
        "  /H:<file>       open the HTML editor on a templated document (.qht)\n"
        "  /A:             register the two file types with the desktop\n"
        "  /B:<folder>     build every templated document of a folder, without a window;\n"
        "                  an empty folder means the current one. It writes only web pages\n"
        "                  (names ending in .htm, .html, .xhtml, .xht, .shtml, .php, .asp,\n"
        "                  .aspx or .jsp) outside hidden files and folders, and skips other\n"
        "                  outputs with a message. Ctrl+C (SIGINT) or SIGTERM stops it after\n"
        "                  the current page. Exit status 0 when all were built, 1 when some\n"
        "                  were not or a line could not be written, 2 when the folder cannot\n"
        "                  be read, 130 or 143 when SIGINT or SIGTERM stopped it\n"
        "  --allow-other-files\n"
        "                  before /B:, lets the batch write those other outputs as well\n"
        "  <file>.qtf      as /T:<file>;  <file>.qht  as /H:<file>\n"
        "  --help          show this help\n"
        "  --version       show the version\n");
}

} // namespace quillane
