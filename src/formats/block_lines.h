// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How both file formats walk their lines: reading past the last line is a read error, and a
// block of HTML runs up to the next section marker or to the end of the file.

#include "formats/message.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"

namespace quillane::detail {

struct Rejected {};
struct ReadError {
    FileError error;
};

class BlockLines {
public:
    explicit BlockLines(const QString& text) : m_reader(text) {}
    QStringView next() {
        QStringView line;
        if (!m_reader.readLine(line))
            throw ReadError{{62, QStringLiteral("Input past end of file")}};
        return line;
    }
    bool atEnd() const { return m_reader.atEnd(); }

    // Lines up to the next section marker, or up to the end of the file; the line that ends
    // the block is not part of it either way. Joined with CR LF.
    QString block(const QString& marker) {
        QString html;
        for (;;) {
            const QStringView line = next();
            if (line == marker || atEnd()) break;
            html += line;
            html += kCrLf;
        }
        if (html.endsWith(kCrLf)) html.chop(2);
        return html;
    }

private:
    LineReader m_reader;
};

// Writing: every line ends with CR LF, the last one too.
inline QString fileText(const QStringList& lines) {
    return lines.join(kCrLf) + kCrLf;
}

} // namespace quillane::detail
