// SPDX-License-Identifier: GPL-3.0-or-later
#include "site/site_file.h"

#include "formats/message.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <array>

namespace quillane {

namespace {

QString quoted(const QString& s) {
    return u'\'' + s + u'\'';
}

bool isInside(const QString& path, const QString& folder) {
    return path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/') && path != folder;
}

// One setting with the values it takes, and where it is set in the file.
struct Key {
    const char* name;
    QStringList values; // empty: a folder
    QString value;
    int line = 0;
};

class Parser {
public:
    explicit Parser(const QString& path) : m_path(path) {}
    SiteFileRead parse(const QString& text);

private:
    SiteFileRead fail(int line, const QString& what) const {
        const QString where = line > 0 ? m_path + u':' + QString::number(line) : m_path;
        return {std::nullopt, where + QStringLiteral(": ") + what, line};
    }
    std::optional<SiteFileRead> line(int number, QStringView text);
    std::optional<SiteFileRead> folders(SiteSettings& s);

    QString m_path;
    bool m_inSite = false;
    std::array<Key, 5> m_keys = {{
        {"output", {}, {}},
        {"assets", {}, {}},
        {"subfolders", {QStringLiteral("yes"), QStringLiteral("no")}, {}},
        {"links", {QStringLiteral("relative"), QStringLiteral("as-written")}, {}},
        {"check", {QStringLiteral("yes"), QStringLiteral("strict"), QStringLiteral("no")}, {}},
    }};
};

std::optional<SiteFileRead> Parser::line(int number, QStringView text) {
    text = text.trimmed();
    if (text.isEmpty() || text.startsWith(u'#') || text.startsWith(u';')) return std::nullopt;
    if (text.startsWith(u'[') && text.endsWith(u']')) {
        const QString group = text.mid(1, text.size() - 2).trimmed().toString();
        m_inSite = group == u"site";
        if (!m_inSite)
            return fail(number, QStringLiteral("unknown group [") + group +
                                    QStringLiteral("]: the file has one group, [site]"));
        return std::nullopt;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        return fail(number, quoted(text.toString()) +
                                QStringLiteral(" is not a setting: write key = value, for "
                                               "example output = public"));
    const QString name = text.left(eq).trimmed().toString();
    QString value = text.mid(eq + 1).trimmed().toString();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    Key* key = nullptr;
    for (Key& k : m_keys)
        key = name == QLatin1String(k.name) ? &k : key;
    if (!key)
        return fail(number, QStringLiteral("unknown key ") + quoted(name) +
                                QStringLiteral(": the keys are output, assets, subfolders, "
                                               "links and check, in lower case"));
    if (!m_inSite)
        return fail(number,
                    quoted(name) + QStringLiteral(" stands outside the [site] group: put [site] on "
                                                  "a line above it"));
    if (key->line > 0)
        return fail(number, quoted(name) + QStringLiteral(" is set twice (first on line ") +
                                QString::number(key->line) + QStringLiteral("): keep one"));
    for (const QChar mark : {u'#', u';'}) {
        for (qsizetype at = value.indexOf(mark); at > 0; at = value.indexOf(mark, at + 1)) {
            if (value[at - 1].isSpace())
                return fail(number, QStringLiteral("a comment must stand on a line of its own: "
                                                   "move ") +
                                        quoted(value.mid(at)) + QStringLiteral(" to a line above"));
        }
    }
    if (value.isEmpty())
        return fail(number, quoted(name) + QStringLiteral(" has no value: ") +
                                (key->values.isEmpty()
                                     ? QStringLiteral("name a folder, or take the line out")
                                     : QStringLiteral("write ") + key->values.join(" or ")));
    if (!key->values.isEmpty() && !key->values.contains(value))
        return fail(number, quoted(value) + QStringLiteral(" is not a value of ") + name +
                                QStringLiteral(": write ") + key->values.join(" or "));
    key->value = value;
    key->line = number;
    return std::nullopt;
}

std::optional<SiteFileRead> Parser::folders(SiteSettings& s) {
    const Key& output = m_keys[0];
    const Key& assets = m_keys[1];
    if (output.line == 0)
        return fail(0, QStringLiteral("the site file names no output folder: add a line such "
                                      "as output = public below [site]"));
    const QDir site(s.folder);
    s.output = QDir::cleanPath(site.absoluteFilePath(output.value));
    if (s.output == s.folder)
        return fail(output.line, QStringLiteral("the output folder ") + quoted(output.value) +
                                     QStringLiteral(" is the site folder itself: name a folder "
                                                    "inside it, such as public"));
    if (!isInside(s.output, s.folder))
        return fail(output.line, QStringLiteral("the output folder ") + quoted(output.value) +
                                     QStringLiteral(" does not lie inside the site folder ") +
                                     quoted(QDir::toNativeSeparators(s.folder)) +
                                     QStringLiteral(": name a folder inside it, such as public"));
    if (assets.line == 0) return std::nullopt;
    s.assets = QDir::cleanPath(site.absoluteFilePath(assets.value));
    QString why;
    if (!isInside(s.assets, s.folder) && s.assets != s.folder)
        why = QStringLiteral(" does not lie inside the site folder ") +
              quoted(QDir::toNativeSeparators(s.folder));
    else if (s.assets == s.output)
        why = QStringLiteral(" is the output folder too");
    else if (isInside(s.assets, s.output))
        why = QStringLiteral(" lies inside the output folder ") + quoted(output.value);
    else if (isInside(s.output, s.assets))
        why = QStringLiteral(" holds the output folder ") + quoted(output.value);
    if (why.isEmpty()) return std::nullopt;
    return fail(assets.line, QStringLiteral("the assets folder ") + quoted(assets.value) + why +
                                 QStringLiteral(": name a folder of its own inside the site "
                                                "folder, such as assets"));
}

SiteFileRead Parser::parse(const QString& text) {
    // Any line end a text editor writes.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    int number = 0;
    for (const QStringView l : QStringView(lines).split(u'\n')) {
        if (std::optional<SiteFileRead> bad = line(++number, l)) return *bad;
    }
    SiteSettings s;
    s.file = QDir::cleanPath(QFileInfo(m_path).absoluteFilePath());
    s.folder = QFileInfo(s.file).path();
    if (std::optional<SiteFileRead> bad = folders(s)) return *bad;
    s.subfolders = m_keys[2].value == u"no" ? SiteSubfolders::No : SiteSubfolders::Yes;
    s.links = m_keys[3].value == u"as-written" ? SiteLinks::AsWritten : SiteLinks::Relative;
    s.check = m_keys[4].value == u"no"       ? SiteCheck::No
              : m_keys[4].value == u"strict" ? SiteCheck::Strict
                                             : SiteCheck::Yes;
    return {std::move(s), {}, 0};
}

} // namespace

SiteSettings newSiteSettings(const QString& folder) {
    SiteSettings s;
    s.folder = QDir::cleanPath(QDir(folder).absolutePath());
    s.file = s.folder + u'/' + kSiteFileName;
    s.output = s.folder + QStringLiteral("/public");
    return s;
}

QString findSiteFile(const QString& folder) {
    QDir dir(QDir::cleanPath(QDir(folder).absolutePath()));
    do {
        const QFileInfo file(dir.filePath(kSiteFileName));
        if (file.exists() || file.isSymLink()) return file.filePath();
    } while (dir.cdUp());
    return {};
}

SiteFileRead parseSiteFile(const QString& text, const QString& path) {
    return Parser(path).parse(text);
}

SiteFileRead readSiteFile(const QString& path) {
    QByteArray bytes;
    FileError error;
    if (!readFileBytes(path, bytes, error))
        return {std::nullopt,
                path + QStringLiteral(": the site file cannot be read: ") + error.description, 0};
    return parseSiteFile(decodeText(bytes), path);
}

QString siteFileText(const SiteSettings& s) {
    const QDir site(s.folder);
    const QString assets = s.assets.isEmpty()
                               ? QStringLiteral("# assets = assets")
                               : QStringLiteral("assets = ") + site.relativeFilePath(s.assets);
    const QStringList lines = {
        QStringLiteral("# Quillane site settings. The folder of this file is the site's folder:"),
        QStringLiteral("# the documents in it and in its sub-folders make the site."),
        QString(),
        QStringLiteral("[site]"),
        QString(),
        QStringLiteral("# The folder the pages go to, inside the site's folder. A link that"),
        QStringLiteral("# starts with / leads to this folder, and the link check looks in it."),
        QStringLiteral("output = ") + site.relativeFilePath(s.output),
        QString(),
        QStringLiteral("# A folder whose files are copied into the output folder after the"),
        QStringLiteral("# pages, keeping their paths: style sheets, pictures, scripts."),
        assets,
        QString(),
        QStringLiteral("# yes: a batch also builds the documents in the sub-folders; no: only"),
        QStringLiteral("# those of the folder it is given."),
        QStringLiteral("subfolders = ") +
            (s.subfolders == SiteSubfolders::No ? QStringLiteral("no") : QStringLiteral("yes")),
        QString(),
        QStringLiteral("# relative: links that start with / are written relative to each page,"),
        QStringLiteral("# so the site also works opened from the disk; as-written: they stay as"),
        QStringLiteral("# the documents have them."),
        QStringLiteral("links = ") + (s.links == SiteLinks::AsWritten ? QStringLiteral("as-written")
                                                                      : QStringLiteral("relative")),
        QString(),
        QStringLiteral("# After a build, report links to files and ids that do not exist:"),
        QStringLiteral("# yes, strict (the build then ends in failure when there are any) or no."),
        QStringLiteral("check = ") + (s.check == SiteCheck::No       ? QStringLiteral("no")
                                      : s.check == SiteCheck::Strict ? QStringLiteral("strict")
                                                                     : QStringLiteral("yes")),
    };
    return lines.join(kCrLf) + kCrLf;
}

} // namespace quillane
