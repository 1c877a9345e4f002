// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/read_failure.h"
#include "formats/section_table.h"

#include <QString>
#include <optional>

namespace quillane {

inline const QString kTemplateMagic = QStringLiteral("#QT1#");
inline const QString kDocumentMagic = QStringLiteral("#QH1#");
inline const QString kDefaultHtmlMarker = QStringLiteral("#DEFAULTHTML#");
inline const QString kEndDefaultHtmlMarker = QStringLiteral("#ENDDEFAULTHTML#");
inline const QString kSectionMarker = QStringLiteral("#STARTSECTION#");

// A template: its name, its default HTML page and its sections (slots 1..n, slot n+1 free).
struct TemplateFile {
    QString name;
    QString defaultHtml;      // the lines joined with CR LF, as the designer shows them
    int defaultHtmlLines = 0; // how many lines it was read from
    SectionTable sections;

    // The page a build starts from: every line of the default HTML ended by CR LF.
    QString page() const;
};

// What reading a template file gave: the template as far as the read got, and the failure
// that stopped it, if any.
struct TemplateRead {
    TemplateFile value;
    std::optional<ReadFailure> failure;
    bool fileRead = false; // the bytes were read; if not, unreadableReason says why
    QString unreadableReason;
    bool defaultHtmlRead = false; // the default HTML was read up to its end marker
    bool nameRead = false;        // the read reached the end of the file, so the name counts
};

TemplateRead readTemplateFile(const QString& path);
// The same from a file's text; path only names the file in messages.
TemplateRead parseTemplate(const QString& text, const QString& path);

// The file's text: name, default HTML and every named slot in slot order.
QString templateFileText(const TemplateFile& file);

// The numeric value of a flag line: blanks ignored, non-numeric text 0, fractions to the
// nearest whole number with halves to the even one. Out-of-range values come back as they are.
double flagValue(QStringView line);

} // namespace quillane
