#include "build/build_engine.h"

#include "build/pour.h"
#include "formats/file_reader.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"

#include <new>

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

namespace {

bool pourAndWrite(Session& s, const QString& outputPath, const QString& templatePath,
                  WriteOutcome& outcome) {
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
    std::optional<QString> poured = pourPage(page, title, s.ws.SectionNames, s.ws.SectionHtml);
    if (!poured)
        return fail(
            QStringLiteral("ERROR: The page would grow beyond %1 characters (its sections insert "
                           "each other over and over), cannot build!")
                .arg(kMaxPageChars));
    QString built = std::move(*poured);
    built += kCrLf;
    // A page never replaces the files it is made from.
    std::vector<WriteGuard> guards{
        {templatePath, QStringLiteral("it is the template of this page")}};
    if (!s.ws.CurrentFile.isEmpty())
        guards.push_back(
            {s.ws.CurrentFile, QStringLiteral("it is the templated document being built")});
    FileError error;
    outcome = writeFileAtomically(outputPath, encodePage(built), WriteMode::Page, error, guards);
    if (outcome == WriteOutcome::Failed)
        return fail(QStringLiteral("ERROR: Cannot write the page '") + outputPath +
                    QStringLiteral("': ") + error.description +
                    QStringLiteral(". Nothing was built."));
    return true;
}

} // namespace

bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath,
               WriteOutcome* outcome) {
    WriteOutcome result = WriteOutcome::Failed;
    bool built = false;
    try {
        built = pourAndWrite(s, outputPath, templatePath, result);
    } catch (const std::bad_alloc&) {
        // What was allocated for this page is freed by now: enough is left to say so.
        result = WriteOutcome::Failed;
        s.tell(QStringLiteral("ERROR: There is not enough memory to build the page '") +
                   outputPath + QStringLiteral("'. Nothing was built."),
               kBuildEngineTitle, MsgIcon::Exclamation);
    }
    if (outcome) *outcome = result;
    return built;
}

} // namespace quillane
