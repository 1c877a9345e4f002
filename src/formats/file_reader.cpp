#include "formats/file_reader.h"

#include "formats/text_codec.h"
#include "formats/text_file.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

namespace quillane {

namespace {

struct Rejected {};
struct ReadError {
    FileError error;
};

const QString kParseErrorTitle = QStringLiteral("Error parsing file!");
// A file within the size limit whose text still does not fit in memory.
const FileError kOutOfMemory{7, QStringLiteral("Out of memory")};

// A file's lines, read as a whole up front; reading past the last line is a read error.
class LineSource {
public:
    explicit LineSource(const QString& path) {
        QByteArray bytes;
        FileError error;
        if (!readFileBytes(path, bytes, error)) throw ReadError{error};
        m_reader.emplace(decodeText(bytes));
    }
    QStringView next() {
        QStringView line;
        if (!m_reader->readLine(line))
            throw ReadError{{62, QStringLiteral("Input past end of file")}};
        return line;
    }
    bool atEnd() const { return m_reader->atEnd(); }

private:
    std::optional<LineReader> m_reader;
};

void chopFinalCrLf(QString& text) {
    if (text.endsWith(kCrLf)) text.chop(2);
}

// Lines up to the next section marker, or up to the end of the file; the line that ends the
// block is not part of it either way.
QString readBlock(LineSource& src) {
    QString html;
    for (;;) {
        const QStringView line = src.next();
        if (line == kSectionMarker || src.atEnd()) break;
        html += line;
        html += kCrLf;
    }
    chopFinalCrLf(html);
    return html;
}

void reportReadError(Session& s, const QString& path, const FileError& e) {
    s.tell(QStringLiteral("Error parsing file '") + path + QStringLiteral("':") + kCrLf +
               e.description + QStringLiteral(" (") + QString::number(e.number) + u')',
           kParseErrorTitle, MsgIcon::Exclamation);
}

quint8 parseFlag(QStringView line) {
    const double v = flagValue(line);
    if (!(v >= -0.5 && v < 255.5)) throw ReadError{{6, QStringLiteral("Overflow")}};
    const double r = std::nearbyint(v); // the default rounding mode sends halves to even
    return quint8(r);
}

bool readTemplate(Session& s, const QString& path, int mode) {
    Workspace& ws = s.ws;
    ws.newTable();
    try {
        LineSource src(path);
        if (src.next() != kTemplateMagic) throw Rejected{};
        const QString name = src.next().toString();
        if (src.next() != kDefaultHtmlMarker) throw Rejected{};
        // The HTML editor does not use the default HTML: it is read past, not kept.
        const bool keepHtml = mode == LoadMode::Designer;
        QString html;
        for (;;) {
            const QStringView line = src.next();
            if (line == kEndDefaultHtmlMarker) break;
            if (keepHtml) {
                html += line;
                html += kCrLf;
            }
        }
        chopFinalCrLf(html);
        if (mode == LoadMode::Designer && s.designer) s.designer->setDefaultHtml(html);

        QStringView line = src.next();
        for (;;) {
            if (src.atEnd()) {
                if (mode == LoadMode::Designer && s.designer)
                    s.designer->setTemplateName(name);
                else if (mode == LoadMode::TemplateForEditor && s.htmlEditor)
                    s.htmlEditor->setTemplateCaption(QStringLiteral("Template used: ") + name);
                break;
            }
            if (line.isEmpty()) break;
            if (line != kSectionMarker) throw Rejected{};
            const int slot = ws.lastSlot();
            ws.SectionNames[slot] = src.next().toString();
            ws.SectionEditable[slot] = parseFlag(src.next());
            ws.SectionHtml[slot] = readBlock(src);
            line = kSectionMarker; // only its being a marker matters from here on
            if (!ws.growTable())
                throw ReadError{{6, QStringLiteral("Overflow: a template holds at most %1 sections")
                                        .arg(kMaxSections)}};
        }
    } catch (const Rejected&) {
        s.tell(QStringLiteral("This file is not a Quillane file!"),
               QStringLiteral("Quillane template designer"), MsgIcon::Exclamation);
        return false;
    } catch (const ReadError& e) {
        reportReadError(s, path, e.error);
        return false;
    } catch (const std::bad_alloc&) {
        reportReadError(s, path, kOutOfMemory);
        return false;
    }
    FillSectionList(s, mode);
    ws.IsDirty = false;
    return true;
}

// The magic and the three lines after it, the stored paths resolved against the document.
DocumentHeader readHeader(LineSource& src, const QString& path) {
    if (src.next() != kDocumentMagic) throw Rejected{};
    DocumentHeader h;
    h.title = src.next().toString();
    h.storedTemplate = src.next().toString();
    h.storedOutput = src.next().toString();
    h.templatePath = resolveStoredPath(h.storedTemplate, path);
    h.outputPath = resolveStoredPath(h.storedOutput, path);
    return h;
}

LoadResult readDocument(Session& s, const QString& path) {
    Workspace& ws = s.ws;
    ws.newTable();
    try {
        LineSource src(path);
        const DocumentHeader header = readHeader(src, path);
        readTemplate(s, header.templatePath, LoadMode::TemplateForEditor);

        QStringView line = src.next();
        int cursor = 0;
        for (;;) {
            if (src.atEnd()) {
                if (s.htmlEditor) {
                    s.htmlEditor->setTitle(header.title);
                    s.htmlEditor->setOutput(header.outputPath);
                }
                break;
            }
            do {
                ++cursor;
            } while (cursor <= ws.lastSlot() && ws.SectionEditable[cursor] != 1);
            if (cursor > ws.lastSlot())
                throw ReadError{{9, QStringLiteral("Subscript out of range: the document has more "
                                                   "sections than its template can take")}};
            if (line.isEmpty()) {
                ws.IsDirty = false;
                return {LoadResult::Kind::Empty, QString()};
            }
            if (line != kSectionMarker) throw Rejected{};
            ws.SectionHtml[cursor] = readBlock(src);
            line = kSectionMarker;
        }
        ws.storedTemplatePath = header.storedTemplate;
        ws.storedOutputPath = header.storedOutput;
        ws.IsDirty = false;
        return {LoadResult::Kind::Loaded, header.templatePath};
    } catch (const Rejected&) {
        s.tell(QStringLiteral("This file is not a Quillane TEMPLATED-HTML file!"),
               QStringLiteral("Quillane HTML Editor"), MsgIcon::Exclamation);
    } catch (const ReadError& e) {
        reportReadError(s, path, e.error);
    } catch (const std::bad_alloc&) {
        reportReadError(s, path, kOutOfMemory);
    }
    return {};
}

} // namespace

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

QString resolveStoredPath(const QString& stored, const QString& documentPath) {
    if (stored.isEmpty()) return stored;
    // A drive or network path written on Windows stays as it is too.
    const bool drive = stored.size() >= 3 && stored[0].isLetter() && stored[1] == u':' &&
                       (stored[2] == u'\\' || stored[2] == u'/');
    if (drive || stored.startsWith(QLatin1String("\\\\")) || QDir::isAbsolutePath(stored))
        return stored;
    return QDir::cleanPath(QFileInfo(documentPath).absoluteDir().filePath(stored));
}

bool readDocumentHeader(const QString& path, DocumentHeader& header) {
    try {
        LineSource src(path);
        header = readHeader(src, path);
        return true;
    } catch (const Rejected&) {
    } catch (const ReadError&) {
    }
    return false;
}

LoadResult LoadFile(Session& s, const QString& path, int mode) {
    switch (mode) {
    case LoadMode::Designer:
    case LoadMode::TemplateForEditor:
        return readTemplate(s, path, mode) ? LoadResult{LoadResult::Kind::Loaded, QString()}
                                           : LoadResult{};
    case LoadMode::Document:
        return readDocument(s, path);
    default:
        s.ws.newTable();
        return {LoadResult::Kind::Empty, QString()};
    }
}

} // namespace quillane
