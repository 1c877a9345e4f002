// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/command_line.h"

#include <algorithm>

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
    const QLatin1String jobs("--jobs=");
    while (!arguments.isEmpty()) {
        const QString& front = arguments.front();
        if (front == QLatin1String("--allow-other-files")) {
            options.allowOtherFiles = true;
        } else if (front.startsWith(jobs)) {
            options.jobs = parseJobs(front.mid(jobs.size()));
            if (options.jobs == 0) options.badOption = front;
        } else if (front == QLatin1String("--strict")) {
            options.strict = true;
        } else if (front == QLatin1String("--serve")) {
            options.serve = 0;
        } else if (front.startsWith(QLatin1String("--serve="))) {
            bool ok = false;
            const int port = front.mid(8).toInt(&ok);
            options.serve = ok && port >= 1024 && port <= 65535 ? port : 0;
            if (options.serve == 0) options.badOption = front;
        } else {
            break;
        }
        arguments.removeFirst();
    }
    return options;
}

int parseJobs(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    // Digits only: no sign, no blanks.
    const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    return ok && digits && n >= 1 && n <= kMaxJobs ? n : 0;
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
        "       quillane [--allow-other-files] [--jobs=N] [--strict] /B:<folder>\n"
        "       quillane [--allow-other-files] [--jobs=N] [--strict] [--serve[=PORT]] "
        "/W:<folder>\n"
        "Design HTML templates and build web pages from templated documents.\n"
        "\n"
        "  (no option)     show the start window\n"
        "  /T:<file>       open the template designer on a template (.qtf)\n"
        "  /H:<file>       open the HTML editor on a templated document (.qht)\n"
        "  /A:             register the two file types with the desktop\n"
        "  /B:<folder>     build every templated document of a folder, without a window;\n"
        "                  an empty folder means the current one. It prints each page built,\n"
        "                  then \"N templated documents found, M built, K unchanged.\": the K\n"
        "                  pages among the M built that were on disk as built already were\n"
        "                  not written again, so their time stamps stay. It writes only web\n"
        "                  pages (names ending in .htm, .html, .xhtml, .xht, .shtml, .php,\n"
        "                  .asp, .aspx or .jsp) outside hidden files and folders, and skips\n"
        "                  other outputs with a message. Ctrl+C (SIGINT) or SIGTERM stops it\n"
        "                  after the current page. Exit status 0 when all were built, 1 when\n"
        "                  some were not or a line could not be written, 2 when the folder\n"
        "                  cannot be read, 130 or 143 when SIGINT or SIGTERM stopped it\n"
        "  /W:<folder>     build the folder as /B: does, then keep watching it: a document\n"
        "                  added or changed, or whose template changed, is built again within\n"
        "                  a second, and each page written is printed; a document removed is\n"
        "                  told. Ctrl+C (SIGINT) or SIGTERM ends it with exit status 0\n"
        "                  In a site (a quillane-site.ini in the folder or above it) /B: and\n"
        "                  /W: build its sub-folders too, write links relative to each page,\n"
        "                  make missing folders inside its output folder, copy its assets and\n"
        "                  check every link of the pages built; see the README\n"
        "  --strict        before /B: or /W:, broken links make the exit status 1\n"
        "  --serve[=PORT]  before /W:, also serves the site's output folder on 127.0.0.1\n"
        "                  (the first free port from 8080 unless PORT is given); every page\n"
        "                  shown reloads itself when it, or what it uses, is written again\n"
        "  --allow-other-files\n"
        "                  before /B: or /W:, lets the batch write those other outputs as well\n"
        "  --jobs=N        before /B: or /W:, builds N documents at a time (1 to 256; the\n"
        "                  default is one per processor, or QUILLANE_JOBS when it is set).\n"
        "                  Pages, lines and exit status are the same for every N\n"
        "  <file>.qtf      as /T:<file>;  <file>.qht  as /H:<file>\n"
        "  --help          show this help\n"
        "  --version       show the version\n");
}

} // namespace quillane
