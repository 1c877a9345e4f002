#include "build/build_engine.h"

#include "build/pour.h"
#include "formats/file_reader.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"

namespace quillane {

namespace {

// A batch builds many pages from one template: keep its default HTML while the file stays
// the same (same file, size and change times), instead of reading it again for every page.
struct TemplateCache {
    QString path;
    FileSignature signature;
    QString page;
};

TemplateCache& templateCache() {
    static TemplateCache cache;
    return cache;
}

TemplatePageStatus parseTemplatePage(const QString& templatePath, QString& page, QString& reason);

} // namespace

TemplatePageStatus readTemplatePage(const QString& templatePath, QString& page, QString& reason) {
    FileSignature before;
    const bool known = fileSignature(templatePath, before);
    TemplateCache& cache = templateCache();
    if (known && cache.path == templatePath && cache.signature == before) {
        page = cache.page;
        return TemplatePageStatus::Ok;
    }
    const TemplatePageStatus status = parseTemplatePage(templatePath, page, reason);
    FileSignature after;
    // Only what was read from a file that did not change meanwhile is kept.
    if (status == TemplatePageStatus::Ok && known && fileSignature(templatePath, after) &&
        after == before)
        cache = {templatePath, after, page};
    else
        cache = {};
    return status;
}

namespace {

TemplatePageStatus parseTemplatePage(const QString& templatePath, QString& page, QString& reason) {
    QByteArray bytes;
    FileError error;
    if (!readFileBytes(templatePath, bytes, error)) {
        reason = error.description;
        return TemplatePageStatus::Unreadable;
    }
    LineReader lines(decodeText(bytes));
    QStringView line;
    if (!lines.readLine(line)) return TemplatePageStatus::Truncated;
    if (line != kTemplateMagic) return TemplatePageStatus::Invalid;
    QStringView marker;
    if (!lines.readLine(line) || !lines.readLine(marker)) return TemplatePageStatus::Truncated;
    if (marker != kDefaultHtmlMarker) return TemplatePageStatus::Invalid;
    page.clear();
    for (;;) {
        if (!lines.readLine(line)) return TemplatePageStatus::Truncated;
        if (line == kEndDefaultHtmlMarker) return TemplatePageStatus::Ok;
        page += line;
        page += kCrLf;
    }
}

} // namespace

bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath) {
    auto fail = [&](const QString& text) {
        s.tell(text, kBuildEngineTitle, MsgIcon::Exclamation);
        return false;
    };
    QString page;
    QString reason;
    switch (readTemplatePage(templatePath, page, reason)) {
    case TemplatePageStatus::Ok:
        break;
    case TemplatePageStatus::Invalid:
        return fail(QStringLiteral("ERROR: Invalid template specified, cannot build!"));
    case TemplatePageStatus::Unreadable:
        return fail(QStringLiteral("ERROR: Cannot read the template '") + templatePath +
                    QStringLiteral("': ") + reason + QStringLiteral(". Nothing was built."));
    case TemplatePageStatus::Truncated:
        return fail(QStringLiteral("ERROR: The template '") + templatePath +
                    QStringLiteral("' ends before its default HTML is complete, cannot build!"));
    }
    if (outputPath.isEmpty())
        return fail(QStringLiteral("ERROR: No output file is set, cannot build!"));

    const QString title = s.htmlEditor ? s.htmlEditor->title() : QString();
    PourResult poured = pourPage(page, title, s.ws.SectionNames, s.ws.SectionHtml);
    if (poured.failure != PourFailure::None) {
        const QString why = poured.failure == PourFailure::SectionsInsertEachOther
                                ? QStringLiteral(" (its sections insert each other over and over)")
                                : QString();
        return fail(QStringLiteral("ERROR: The page would be larger than ") +
                    QString::number(kMaxPageChars) + QStringLiteral(" characters") + why +
                    QStringLiteral(", cannot build!"));
    }
    QString built = std::move(poured.page);
    built += kCrLf;
    FileError error;
    if (!writeFileQuickly(outputPath, encodePage(built), error))
        return fail(QStringLiteral("ERROR: Cannot write the page '") + outputPath +
                    QStringLiteral("': ") + error.description +
                    QStringLiteral(". Nothing was built."));
    return true;
}

} // namespace quillane
