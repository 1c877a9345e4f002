#pragma once

#include "core/workspace.h"

#include <QString>

namespace quillane {

namespace LoadMode {
inline constexpr int Designer = 0;          // a template into the designer
inline constexpr int TemplateForEditor = 1; // a template's sections for the HTML editor
inline constexpr int Document = 2;          // a templated document into the HTML editor
} // namespace LoadMode

// The reader's result. For a document: the template path when it was read to its end, Empty
// when it stopped early at an empty line, Failed when it was rejected or could not be read.
// For a template: Loaded or Failed.
struct LoadResult {
    enum class Kind { Failed, Empty, Loaded };
    Kind kind = Kind::Failed;
    QString templatePath;

    bool loaded() const { return kind == Kind::Loaded; }
};

// Reads a template (modes 0 and 1) or a templated document (mode 2) into the workspace and
// the open editor's controls, telling the user what went wrong when it cannot.
LoadResult LoadFile(Session& s, const QString& path, int mode);

// The lines of a templated document before its sections, its paths as stored and as the
// reader resolves them.
struct DocumentHeader {
    QString title;
    QString storedTemplate, storedOutput;
    QString templatePath, outputPath;
};
// Reads only that much of a document, quietly: false when it is not a templated document or
// cannot be read (the full read tells the user why).
bool readDocumentHeader(const QString& path, DocumentHeader& header);

// A path stored in a document, taken as it stands when absolute (also a drive or network
// path from another system) and otherwise against the document's folder.
QString resolveStoredPath(const QString& stored, const QString& documentPath);

// The numeric value of a flag line: blanks ignored, non-numeric text 0, fractions to the
// nearest whole number with halves to the even one. Out-of-range values come back as they are.
double flagValue(QStringView line);

inline const QString kTemplateMagic = QStringLiteral("#QT1#");
inline const QString kDocumentMagic = QStringLiteral("#QH1#");
inline const QString kDefaultHtmlMarker = QStringLiteral("#DEFAULTHTML#");
inline const QString kEndDefaultHtmlMarker = QStringLiteral("#ENDDEFAULTHTML#");
inline const QString kSectionMarker = QStringLiteral("#STARTSECTION#");

} // namespace quillane
