#include "build/page_build.h"

#include "build/pour.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"

#include <new>

namespace quillane {

namespace {

Message engineMessage(const QString& text) {
    return {text, kBuildEngineTitle, MsgIcon::Exclamation};
}

// Why the template gives no page to pour into, or nothing when it does.
std::optional<Message> templateProblem(const TemplateRead& t, const QString& path) {
    if (t.defaultHtmlRead) return std::nullopt;
    if (!t.fileRead)
        return engineMessage(QStringLiteral("ERROR: Cannot read the template '") + path +
                             QStringLiteral("': ") + t.unreadableReason +
                             QStringLiteral(". Nothing was built."));
    if (t.failure && t.failure->kind == ReadFailure::Kind::Rejected)
        return engineMessage(QStringLiteral("ERROR: Invalid template specified, cannot build!"));
    return engineMessage(
        QStringLiteral("ERROR: The template '") + path +
        QStringLiteral("' ends before its default HTML is complete, cannot build!"));
}

PageBytes pour(const TemplateRead& templ, const QString& title, const SectionTable& table) {
    PourResult poured = pourPage(templ.value.page(), title, table.SectionNames, table.SectionHtml);
    if (poured.failure != PourFailure::None) {
        const QString why = poured.failure == PourFailure::SectionsInsertEachOther
                                ? QStringLiteral(" (its sections insert each other over and over)")
                                : QString();
        return {{},
                engineMessage(QStringLiteral("ERROR: The page would be larger than ") +
                              QString::number(kMaxPageChars) + QStringLiteral(" characters") + why +
                              QStringLiteral(", cannot build!"))};
    }
    poured.page.append(kCrLf);
    return {encodePage(poured.page), std::nullopt};
}

} // namespace

PageBytes pourTemplatePage(const TemplateRead& templ, const QString& templatePath,
                           const QString& title, const SectionTable& table) {
    if (std::optional<Message> problem = templateProblem(templ, templatePath))
        return {{}, std::move(problem)};
    return pour(templ, title, table);
}

namespace {

PageOutcome pourAndWrite(TemplateCache& templates, const QString& templatePath,
                         const QString& title, const SectionTable& table, const QString& outputPath,
                         const QString& documentPath) {
    const std::shared_ptr<const TemplateRead> templ = templates.read(templatePath);
    if (std::optional<Message> problem = templateProblem(*templ, templatePath))
        return {PageOutcome::Kind::Failed, *problem};
    if (outputPath.isEmpty())
        return {PageOutcome::Kind::Failed,
                engineMessage(QStringLiteral("ERROR: No output file is set, cannot build!"))};
    PageBytes page = pourTemplatePage(*templ, templatePath, title, table);
    if (page.failure) return {PageOutcome::Kind::Failed, *page.failure};
    // A page never replaces the files it is made from.
    std::vector<WriteGuard> guards{
        {templatePath, QStringLiteral("it is the template of this page")}};
    if (!documentPath.isEmpty())
        guards.push_back(
            {documentPath, QStringLiteral("it is the templated document being built")});
    FileError error;
    switch (writeFileAtomically(outputPath, page.bytes, WriteMode::Page, error, guards)) {
    case WriteOutcome::Written:
        return {PageOutcome::Kind::Written, {}};
    case WriteOutcome::Unchanged:
        return {PageOutcome::Kind::Unchanged, {}};
    case WriteOutcome::Failed:
        break;
    }
    return {PageOutcome::Kind::Failed,
            engineMessage(QStringLiteral("ERROR: Cannot write the page '") + outputPath +
                          QStringLiteral("': ") + error.description +
                          QStringLiteral(". Nothing was built."))};
}

} // namespace

PageOutcome buildPageFile(TemplateCache& templates, const QString& templatePath,
                          const QString& title, const SectionTable& table,
                          const QString& outputPath, const QString& documentPath) {
    try {
        return pourAndWrite(templates, templatePath, title, table, outputPath, documentPath);
    } catch (const std::bad_alloc&) {
        // What was allocated for this page is freed by now: enough is left to say so.
        return {PageOutcome::Kind::Failed,
                engineMessage(QStringLiteral("ERROR: There is not enough memory to build the "
                                             "page '") +
                              outputPath + QStringLiteral("'. Nothing was built."))};
    }
}

} // namespace quillane
