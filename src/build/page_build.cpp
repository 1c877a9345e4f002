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
    std::optional<QString> poured =
        pourPage(templ.value.page(), title, table.SectionNames, table.SectionHtml);
    if (!poured)
        return {{},
                engineMessage(QStringLiteral("ERROR: The page would grow beyond %1 characters (its "
                                             "sections insert each other over and over), cannot "
                                             "build!")
                                  .arg(kMaxPageChars))};
    poured->append(kCrLf);
    return {encodePage(*poured), std::nullopt};
}

} // namespace

PageBytes pourTemplatePage(const TemplateRead& templ, const QString& templatePath,
                           const QString& title, const SectionTable& table) {
    if (std::optional<Message> problem = templateProblem(templ, templatePath))
        return {{}, std::move(problem)};
    try {
        return pour(templ, title, table);
    } catch (const std::bad_alloc&) {
        return {{},
                engineMessage(QStringLiteral("ERROR: There is not enough memory to build this "
                                             "page, cannot build!"))};
    }
}

PageOutcome buildPageFile(TemplateCache& templates, const QString& templatePath,
                          const QString& title, const SectionTable& table,
                          const QString& outputPath, const QString& documentPath) {
    Q_UNUSED(documentPath);
    const std::shared_ptr<const TemplateRead> templ = templates.read(templatePath);
    if (std::optional<Message> problem = templateProblem(*templ, templatePath))
        return {PageOutcome::Kind::Failed, *problem};
    if (outputPath.isEmpty())
        return {PageOutcome::Kind::Failed,
                engineMessage(QStringLiteral("ERROR: No output file is set, cannot build!"))};
    PageBytes page = pourTemplatePage(*templ, templatePath, title, table);
    if (page.failure) return {PageOutcome::Kind::Failed, *page.failure};
    FileError error;
    if (!writeFileQuickly(outputPath, page.bytes, error))
        return {PageOutcome::Kind::Failed,
                engineMessage(QStringLiteral("ERROR: Cannot write the page '") + outputPath +
                              QStringLiteral("': ") + error.description +
                              QStringLiteral(". Nothing was built."))};
    return {PageOutcome::Kind::Written, {}};
}

} // namespace quillane
