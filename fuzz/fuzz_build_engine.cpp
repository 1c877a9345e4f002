// SPDX-License-Identifier: GPL-3.0-or-later
// The passes against the literal ones, on pages, names and HTML taken from the input, in each
// of their ways of running a pass; and the template check over the same, which must not fail.

#include "build/pour.h"
#include "build/template_check.h"

#include <QStringList>
#include <cstdlib>

using namespace quillane;

namespace {

// One literal pass; false (and no page) when its result would be larger than the limit.
bool literalReplace(QString& page, const QString& find, const QString& with, qsizetype limit) {
    qsizetype count = 0;
    for (qsizetype at = page.indexOf(find); at >= 0; at = page.indexOf(find, at + find.size()))
        ++count;
    if (page.size() + count * (with.size() - find.size()) > limit) return false;
    QString out;
    qsizetype from = 0;
    for (qsizetype at; (at = page.indexOf(find, from)) >= 0; from = at + find.size()) {
        out += page.mid(from, at - from);
        out += with;
    }
    page = out + page.mid(from);
    return true;
}

constexpr qint64 kNever = qint64(1) << 40;
const PourTuning kTunings[] = {{},
                               {kNever, 0, 32, 4096},
                               {0, 0, 2, kNever},
                               {0, kNever, 2, kNever},
                               {64, 1, 3, kNever},
                               {0, 0, 2, 0}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fields separated by 0x01: page, title, then name/HTML pairs.
    const QStringList fields =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(1));
    if (fields.size() < 2 || fields.size() > 80) return 0;
    QStringList names{QString()}, html{QString()};
    for (qsizetype i = 2; i + 1 < fields.size(); i += 2) {
        names << fields[i];
        html << fields[i + 1];
    }
    names << QString();
    html << QString();
    const PourTuning& tuning = kTunings[size % std::size(kTunings)];
    // Replacing everything in place costs far more per character than a sweep: smaller pages.
    const qsizetype limit = tuning.denseFactor == 0 ? 1 << 16 : 1 << 20;
    // The literal passes, stopped where a page would grow past the limit.
    QString expected = fields[0];
    bool tooLarge =
        expected.size() > limit || !literalReplace(expected, "::title::", fields[1], limit);
    for (qsizetype slot = 1; slot < names.size() && !tooLarge; ++slot)
        tooLarge = !literalReplace(expected, QStringLiteral("::") + names[slot], html[slot], limit);
    const PourResult got = pourPageTuned(fields[0], fields[1], names, html, limit, tuning);
    if ((got.failure != PourFailure::None) != tooLarge) std::abort();
    if (!tooLarge && got.page != expected) std::abort();
    TemplateFile templ;
    templ.defaultHtml = fields[0];
    templ.defaultHtmlLines = 1;
    templ.sections.SectionNames = names;
    templ.sections.SectionHtml = html;
    templ.sections.SectionEditable.assign(size_t(names.size()), 1);
    checkTemplate(templ);
    return 0;
}
