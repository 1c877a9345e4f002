// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/template_file.h"

#include "formats/block_lines.h"
#include "formats/file_write.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

namespace quillane {

namespace {

using detail::BlockLines;
using detail::fileText;
using detail::ReadError;
using detail::Rejected;

quint8 parseFlag(QStringView line) {
    const double v = flagValue(line);
    if (!(v >= -0.5 && v < 255.5)) throw ReadError{{6, QStringLiteral("Overflow")}};
    return quint8(std::nearbyint(v)); // the default rounding mode sends halves to even
}

} // namespace

ReadFailure unreadableFile(const QString& path, const FileError& e) {
    return {ReadFailure::Kind::Unreadable,
            {QStringLiteral("Error parsing file '") + path + QStringLiteral("':") + kCrLf +
                 e.description + QStringLiteral(" (") + QString::number(e.number) + u')',
             kParseErrorTitle, MsgIcon::Exclamation}};
}

std::optional<Message> saveTextFile(const QString& path, const QString& text) {
    FileError error;
    if (writeFileAtomically(path, encodeForStorage(text), WriteMode::Durable, error) !=
        WriteOutcome::Failed)
        return std::nullopt;
    return Message{QStringLiteral("Could not save '") + path + QStringLiteral("':") + kCrLf +
                       error.description,
                   QStringLiteral("Quillane"), MsgIcon::Exclamation};
}

QString TemplateFile::page() const {
    return defaultHtmlLines == 0 ? QString() : defaultHtml + kCrLf;
}

TemplateRead readTemplateFile(const QString& path) {
    TemplateRead r;
    QByteArray bytes;
    FileError error;
    if (!readFileBytes(path, bytes, error)) {
        r.unreadableReason = error.description;
        r.failure = unreadableFile(path, error);
        return r;
    }
    try {
        return parseTemplate(decodeText(bytes), path);
    } catch (const std::bad_alloc&) {
        r.unreadableReason = QStringLiteral("Out of memory");
        r.failure = unreadableFile(path, {7, r.unreadableReason});
        return r;
    }
}

TemplateRead parseTemplate(const QString& text, const QString& path) {
    TemplateRead r;
    r.fileRead = true;
    TemplateFile& t = r.value;
    try {
        BlockLines lines(text);
        if (lines.next() != kTemplateMagic) throw Rejected{};
        const QStringView name = lines.next();
        if (lines.next() != kDefaultHtmlMarker) throw Rejected{};
        for (;;) {
            const QStringView line = lines.next();
            if (line == kEndDefaultHtmlMarker) break;
            t.defaultHtml += line;
            t.defaultHtml += kCrLf;
            ++t.defaultHtmlLines;
        }
        if (t.defaultHtml.endsWith(kCrLf)) t.defaultHtml.chop(2);
        r.defaultHtmlRead = true;

        QStringView line = lines.next();
        for (;;) {
            if (lines.atEnd()) {
                t.name = name.toString();
                r.nameRead = true;
                break;
            }
            if (line.isEmpty()) break; // stops here, quietly and without a name
            if (line != kSectionMarker) throw Rejected{};
            SectionTable& s = t.sections;
            const int slot = s.lastSlot();
            s.SectionNames[slot] = lines.next().toString();
            s.SectionEditable[size_t(slot)] = parseFlag(lines.next());
            s.SectionHtml[slot] = lines.block(kSectionMarker);
            line = kSectionMarker; // only its being a marker matters from here on
            if (!s.growTable())
                throw ReadError{{6, QStringLiteral("Overflow: a template holds at most %1 sections")
                                        .arg(kMaxSections)}};
        }
    } catch (const Rejected&) {
        r.failure =
            ReadFailure{ReadFailure::Kind::Rejected,
                        {QStringLiteral("This file is not a Quillane file!"),
                         QStringLiteral("Quillane template designer"), MsgIcon::Exclamation}};
    } catch (const ReadError& e) {
        r.failure = unreadableFile(path, e.error);
    }
    return r;
}

QString templateFileText(const TemplateFile& file) {
    QStringList lines{kTemplateMagic,        file.name,     kDefaultHtmlMarker, file.defaultHtml,
                      kEndDefaultHtmlMarker, kSectionMarker};
    const SectionTable& s = file.sections;
    for (int slot = 1; slot <= s.lastSlot(); ++slot) {
        if (s.SectionNames[slot].isEmpty()) continue;
        lines << s.SectionNames[slot]
              << u' ' + QString::number(s.SectionEditable[size_t(slot)]) + u' '
              << s.SectionHtml[slot] << kSectionMarker;
    }
    return fileText(lines);
}

double flagValue(QStringView line) {
    // Blanks anywhere are passed over; the number is the longest numeric start of the rest.
    std::string t;
    t.reserve(size_t(line.size()));
    for (QChar c : line) {
        if (c != u' ' && c != u'\t' && c != u'\n') t += c.unicode() < 128 ? char(c.unicode()) : '?';
    }
    size_t i = 0;
    auto digits = [&] {
        const size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t mantissa = digits();
    if (i < t.size() && t[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return 0;
    size_t end = i;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        t[i++] = 'e';
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() > 0) end = i;
    }
    t.resize(end);
    return std::strtod(t.c_str(), nullptr);
}

} // namespace quillane
