// SPDX-License-Identifier: GPL-3.0-or-later
#include "freedesktop/desktop_association.h"

#include "common/file_types.h"
#include "common/processes.h"
#include "freedesktop/file_system.h"
#include "freedesktop/processes.h"
#include "freedesktop/program_icons.h"
#include "shell/file_association.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace quillane::shell {

namespace {

const char* const kDefaultSection = "[Default Applications]";

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return entry->pw_dir;
    }
    return "";
}

std::string xdgFolder(const char* variable, const char* belowHome) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        return value;
    }
    const std::string home = homeFolder();
    return home.empty() ? "" : home + "/" + belowHome;
}

std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isSectionHeader(const std::string& line) {
    const std::string text = trimmed(line);
    return !text.empty() && text.front() == '[';
}

std::string keyOf(const std::string& line) {
    const std::string text = trimmed(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || text.empty() || text.front() == '#') {
        return "";
    }
    return trimmed(line.substr(0, equals));
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string replaced(std::string text, const std::string& placeholder, const std::string& value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

// The magic matches at the start of the file, with or without a UTF-8
// byte-order mark (our writers add one when a file needs UTF-8).
const char* const kMimeTypeXml = R"(  <mime-type type="@TYPE@">
    <comment>@COMMENT@</comment>
    <sub-class-of type="text/plain"/>
    <icon name="@ICON@"/>
    <glob pattern="@GLOB@"/>
    <magic priority="50">
      <match type="string" offset="0" value="@MARKER@"/>
      <match type="big16" offset="0" value="0xefbb">
        <match type="byte" offset="2" value="0xbf">
          <match type="string" offset="3" value="@MARKER@"/>
        </match>
      </match>
    </magic>
  </mime-type>
)";

std::string mimeTypeXml(const std::string& type, const std::string& comment,
                        const std::string& glob, const std::string& marker) {
    std::string xml = replaced(kMimeTypeXml, "@TYPE@", type);
    xml = replaced(xml, "@COMMENT@", comment);
    xml = replaced(xml, "@ICON@", kIconName);
    xml = replaced(xml, "@GLOB@", glob);
    return replaced(xml, "@MARKER@", marker);
}

void refreshDatabase(const std::string& tool, const std::string& folder,
                     const std::string& searchPath) {
    const std::string program = findProgramOnPath(tool, searchPath);
    if (!program.empty()) {
        runQuietly(program, {folder});
    }
}

} // namespace

DesktopPlaces desktopPlacesFromEnvironment() {
    DesktopPlaces places;
    places.dataHome = xdgFolder("XDG_DATA_HOME", ".local/share");
    places.configHome = xdgFolder("XDG_CONFIG_HOME", ".config");
    const char* searchPath = std::getenv("PATH");
    places.searchPath = searchPath != nullptr ? searchPath : "";
    return places;
}

std::string mimePackageXml() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n" +
           mimeTypeXml(kDocumentMimeType, kDocumentDescription, "*.qht", "#QH1#") +
           mimeTypeXml(kTemplateMimeType, kTemplateDescription, "*.qtf", "#QT1#") +
           "</mime-info>\n";
}

std::string execArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
        if (c == '%') {
            quoted += '%';
        }
    }
    quoted += '"';

    std::string escaped;
    for (char c : quoted) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string desktopEntry(const std::string& name, const std::string& comment,
                         const std::string& mimeType, const std::string& programPath,
                         const std::string& option) {
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=@NAME@\n"
                        "Comment=@COMMENT@\n"
                        "Icon=@ICON@\n"
                        "Exec=@EXEC@\n"
                        "MimeType=@TYPE@;\n"
                        "NoDisplay=true\n"
                        "Terminal=false\n";
    // The Exec value goes in last so that nothing in the path is taken for a placeholder.
    entry = replaced(entry, "@NAME@", name);
    entry = replaced(entry, "@COMMENT@", comment);
    entry = replaced(entry, "@ICON@", kIconName);
    entry = replaced(entry, "@TYPE@", mimeType);
    return replaced(entry, "@EXEC@", execArgument(programPath) + " " + option + "%f");
}

std::string
withDefaultApplications(const std::string& existing,
                        const std::vector<std::pair<std::string, std::string>>& defaults) {
    std::vector<std::string> lines = splitLines(existing);

    for (const auto& [type, desktopFile] : defaults) {
        const std::string entry = type + "=" + desktopFile + ";";
        bool inSection = false;
        bool replaced = false;
        std::size_t firstHeader = lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (isSectionHeader(lines[i])) {
                inSection = trimmed(lines[i]) == kDefaultSection;
                if (inSection && firstHeader == lines.size()) {
                    firstHeader = i;
                }
            } else if (inSection && keyOf(lines[i]) == type) {
                lines[i] = entry;
                replaced = true;
            }
        }
        if (replaced) {
            continue;
        }
        if (firstHeader == lines.size()) {
            if (!lines.empty() && !trimmed(lines.back()).empty()) {
                lines.emplace_back();
            }
            lines.emplace_back(kDefaultSection);
            lines.push_back(entry);
            continue;
        }
        // Insert after the last non-blank line of the first such section, so the
        // blank line that separates it from the next one stays where it is.
        std::size_t insertAt = firstHeader + 1;
        for (std::size_t i = firstHeader + 1; i < lines.size() && !isSectionHeader(lines[i]); ++i) {
            if (!trimmed(lines[i]).empty()) {
                insertAt = i + 1;
            }
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    }

    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool associateFilesWithDesktop(const DesktopPlaces& places, const std::string& programPath) {
    bool complete = true;
    try {
        if (places.dataHome.empty()) {
            complete = false;
        } else {
            const std::string packages = places.dataHome + "/mime/packages";
            complete &= makeFolders(packages) &&
                        writeDesktopFile(packages + "/" + kMimePackageFile, mimePackageXml());

            const std::string applications = places.dataHome + "/applications";
            const bool haveApplications = makeFolders(applications);
            complete &= haveApplications &&
                        writeDesktopFile(applications + "/" + kDocumentDesktopFile,
                                         desktopEntry("Quillane HTML editor", kDocumentDescription,
                                                      kDocumentMimeType, programPath, "/H:"));
            complete &=
                haveApplications &&
                writeDesktopFile(applications + "/" + kTemplateDesktopFile,
                                 desktopEntry("Quillane template designer", kTemplateDescription,
                                              kTemplateMimeType, programPath, "/T:"));

            // The icon that the types and the entries name, in every size, in the user's icon
            // theme: a program run from its build folder has no other.
            for (const ProgramIcon& icon : programIcons()) {
                const std::string folder =
                    places.dataHome + "/icons/hicolor/" + icon.folder + "/apps";
                complete &= makeFolders(folder) &&
                            writeDesktopFile(folder + "/" + icon.file, std::string(icon.bytes));
            }
        }

        if (places.configHome.empty() || !makeFolders(places.configHome)) {
            complete = false;
        } else {
            const std::string list = places.configHome + "/mimeapps.list";
            std::string existing;
            // A list that exists but cannot be read is left alone rather than replaced.
            if (readWholeFile(list, existing) == ReadOutcome::Failed) {
                complete = false;
            } else {
                complete &= writeDesktopFile(
                    list,
                    withDefaultApplications(existing, {{kDocumentMimeType, kDocumentDesktopFile},
                                                       {kTemplateMimeType, kTemplateDesktopFile}}));
            }
        }

        if (!places.dataHome.empty()) {
            refreshDatabase("update-mime-database", places.dataHome + "/mime", places.searchPath);
            refreshDatabase("update-desktop-database", places.dataHome + "/applications",
                            places.searchPath);
        }
    } catch (...) {
        complete = false;
    }
    return complete;
}

void AssociateFiles() {
    try {
        const std::string program = runningProgramPath();
        if (!program.empty()) {
            associateFilesWithDesktop(desktopPlacesFromEnvironment(), program);
        }
    } catch (...) {
    }
}

} // namespace quillane::shell
