// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// How the program's files turn into text and back. Reading never loses a byte: what is not
// UTF-8 is Windows-1252 with every byte mapped to one character and back.

namespace quillane {

// A UTF-8 byte-order mark, or valid UTF-8 with at least one non-ASCII sequence, means UTF-8;
// anything else is Windows-1252.
QString decodeText(const QByteArray& bytes);

// Windows-1252 when every character fits, otherwise UTF-8 behind a byte-order mark.
QByteArray encodeForStorage(const QString& text);

// Appends the Windows-1252 bytes of text to out; false (out unspecified) when a character
// does not fit.
bool encodeCp1252(const QString& text, QByteArray& out);

// Windows-1252, with every character it cannot hold written as an HTML numeric character
// reference.
QByteArray encodeCp1252WithReferences(const QString& text);

// Whether a page declares UTF-8 in a <meta charset> or http-equiv Content-Type within its
// first 1024 characters, as browsers pre-scan.
bool declaresUtf8(const QString& page);

// A page's bytes as it declares them: UTF-8, or Windows-1252 with character references.
QByteArray encodePage(const QString& page);
// A page's text from its bytes, read as encodePage writes it: UTF-8 when it declares it (or
// starts with a byte-order mark), otherwise Windows-1252.
QString decodePage(const QByteArray& bytes);

// Lines end at CR LF or at a lone CR; a lone LF stays inside its line. A line end at the very
// end does not make an extra empty line.
class LineReader {
public:
    explicit LineReader(const QString& text) : m_text(text) {}
    bool atEnd() const { return m_pos >= m_text.size(); }
    // False when there is no line left to read. The view stays valid while the reader lives.
    bool readLine(QStringView& line);
    bool readLine(QString& line);

private:
    QString m_text;
    qsizetype m_pos = 0;
};

} // namespace quillane
