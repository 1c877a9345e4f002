// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Generates a site folder for the batch benchmarks: templates of about 8 KB with ten sections
// (five editable) and `count` templated documents of about 2 KB each, document i on template
// i % templates.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

namespace quillane::bench {

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// Flips one character of a template's footer, which every page of it shows: each page then
// changes, as after a change of template.
inline void changeTemplate(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return;
    QByteArray t = f.readAll();
    f.close();
    if (t.contains("<footer "))
        t.replace("<footer ", "<footer\t");
    else
        t.replace("<footer\t", "<footer ");
    writeBytes(path, t);
}

// Returns the path of the first template (site.qtf, or t0.qtf, t1.qtf, ... when there are
// more). Pages go to outFolder (made if missing).
inline QString generateSite(const QString& folder, const QString& outFolder, int count,
                            int templates = 1) {
    QDir().mkpath(folder);
    QDir().mkpath(outFolder);
    QByteArray t = "#QT1#\r\nBenchmark template\r\n#DEFAULTHTML#\r\n";
    t += "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>::title::</title>\r\n";
    QByteArray filler;
    for (int i = 0; i < 60; ++i)
        filler +=
            "<p class=\"filler\">Lorem ipsum dolor sit amet, consectetur adipiscing elit.</p>\r\n";
    t += "</head><body>\r\n";
    for (int s = 0; s < 10; ++s) {
        t += "<div id=\"s" + QByteArray::number(s) + "\">::section" + QByteArray::number(s) +
             "::</div>\r\n";
        if (s % 2 == 0) t += filler.left(filler.size() / 6);
    }
    t += "<footer>::title::</footer></body></html>\r\n#ENDDEFAULTHTML#\r\n#STARTSECTION#\r\n";
    for (int s = 0; s < 10; ++s) {
        t += "section" + QByteArray::number(s) + "\r\n" + (s % 2 ? " 0 " : " 1 ") + "\r\n";
        t += "<p>Default text of section " + QByteArray::number(s) + ".</p>\r\n#STARTSECTION#\r\n";
    }
    while (t.size() < 8000)
        t.insert(t.indexOf("</body>"), filler.left(80));
    QStringList paths;
    for (int k = 0; k < templates; ++k) {
        paths << QDir(folder).filePath(templates == 1 ? QStringLiteral("site.qtf")
                                                      : QStringLiteral("t%1.qtf").arg(k));
        writeBytes(paths.last(), QByteArray(t).replace(
                                     "<footer>", "<footer id=\"t" + QByteArray::number(k) + "\">"));
    }

    const QString out = QDir(outFolder).absolutePath();
    for (int i = 0; i < count; ++i) {
        QByteArray d = "#QH1#\r\nPage " + QByteArray::number(i) + "\r\n" +
                       paths[i % templates].toUtf8() + "\r\n" +
                       QDir(out).filePath(QStringLiteral("page%1.html").arg(i)).toUtf8() +
                       "\r\n#STARTSECTION#\r\n";
        for (int b = 0; b < 5; ++b) {
            for (int l = 0; l < 5; ++l)
                d += "<p>Page " + QByteArray::number(i) + ", block " + QByteArray::number(b) +
                     ": some text of the page itself.</p>\r\n";
            d += "#STARTSECTION#\r\n";
        }
        writeBytes(QDir(folder).filePath(QStringLiteral("page%1.qht").arg(i)), d);
    }
    return paths.first();
}

} // namespace quillane::bench
