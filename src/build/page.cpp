// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/page.h"

#include "build/batch_policy.h"
#include "build/pour.h"
#include "formats/file_write.h"
#include "formats/text_codec.h"
#include "site/link_check.h"

#include <QDir>
#include <QFileInfo>
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

PageBytes pour(const TemplateRead& templ, const QString& title, const SectionTable& table,
               const PagePlace& place, PageLinks* links) {
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
    if (place.inSite()) {
        ScannedPage scanned = scanPage(poured.page, place.pagePath, place.site->links);
        poured.page = std::move(scanned.page);
        if (links) *links = std::move(scanned.links);
    }
    return {encodePage(poured.page), std::nullopt};
}

} // namespace

PagePlace placeInSite(const SiteSettings* site, const QString& outputPath) {
    PagePlace place;
    if (!site || outputPath.isEmpty()) return place;
    place.site = site;
    const QString page = QDir::cleanPath(QFileInfo(outputPath).absoluteFilePath());
    if (page.startsWith(site->output + u'/')) place.pagePath = page.mid(site->output.size() + 1);
    return place;
}

PageBytes pourTemplatePage(const TemplateRead& templ, const QString& templatePath,
                           const QString& title, const SectionTable& table, const PagePlace& place,
                           PageLinks* links) {
    if (std::optional<Message> problem = templateProblem(templ, templatePath))
        return {{}, std::move(problem)};
    return pour(templ, title, table, place, links);
}

namespace {

Message cannotWrite(const QString& outputPath, const FileError& error) {
    return engineMessage(QStringLiteral("ERROR: Cannot write the page '") + outputPath +
                         QStringLiteral("': ") + error.description +
                         QStringLiteral(". Nothing was built."));
}

Message outOfMemory(const QString& outputPath) {
    // What was allocated for this page is freed by now: enough is left to say so.
    return engineMessage(QStringLiteral("ERROR: There is not enough memory to build the page '") +
                         outputPath + QStringLiteral("'. Nothing was built."));
}

PlannedPage planPage(const TemplateRead& templ, const QString& templatePath, const QString& title,
                     const SectionTable& table, const QString& outputPath,
                     const QString& documentPath, const LinkCheck& linkCheck,
                     const PagePlace& place) {
    PlannedPage p;
    if (std::optional<Message> problem = templateProblem(templ, templatePath)) {
        p.failure = std::move(problem);
        return p;
    }
    if (outputPath.isEmpty()) {
        p.failure = engineMessage(QStringLiteral("ERROR: No output file is set, cannot build!"));
        return p;
    }
    p.page = pour(templ, title, table, place, &p.links);
    if (p.page.failure) {
        p.failure = p.page.failure;
        return p;
    }
    // A page never replaces the files it is made from.
    std::vector<WriteGuard> guards{
        {templatePath, QStringLiteral("it is the template of this page")}};
    if (!documentPath.isEmpty())
        guards.push_back(
            {documentPath, QStringLiteral("it is the templated document being built")});
    p.plan = planWrite(outputPath, p.page.bytes, WriteMode::Page, guards, linkCheck);
    if (p.plan.outcome == WriteOutcome::Failed) p.failure = cannotWrite(outputPath, p.plan.error);
    return p;
}

} // namespace

PlannedPage planPageFile(const TemplateRead& templ, const QString& templatePath,
                         const QString& title, const SectionTable& table, const QString& outputPath,
                         const QString& documentPath, const LinkCheck& linkCheck,
                         const PagePlace& place) {
    try {
        return planPage(templ, templatePath, title, table, outputPath, documentPath, linkCheck,
                        place);
    } catch (const std::bad_alloc&) {
        PlannedPage p;
        p.failure = outOfMemory(outputPath);
        return p;
    }
}

PageOutcome commitPageFile(PlannedPage& planned, const QString& outputPath) {
    if (planned.failure) return {PageOutcome::Kind::Failed, *planned.failure, {}};
    FileError error;
    switch (commitWrite(planned.plan, planned.page.bytes, WriteMode::Page, error)) {
    case WriteOutcome::Written:
        return {PageOutcome::Kind::Written, {}, {}};
    case WriteOutcome::Unchanged:
        return {PageOutcome::Kind::Unchanged, {}, {}};
    case WriteOutcome::Failed:
        break;
    }
    return {PageOutcome::Kind::Failed, cannotWrite(outputPath, error), {}};
}

void stagePageFile(PlannedPage& planned, const QString& outputPath) {
    if (planned.failure) return;
    stageWrite(planned.plan, planned.page.bytes, WriteMode::Page);
    if (planned.plan.outcome == WriteOutcome::Failed)
        planned.failure = cannotWrite(outputPath, planned.plan.error);
}

QStringList brokenLinksOfPage(const SiteSettings& site, const QString& outputPath,
                              const PageLinks& links) {
    const PagePlace place = placeInSite(&site, outputPath);
    if (!place.inSite() || site.check == SiteCheck::No) return {};
    QStringList lines;
    for (const BrokenLink& broken :
         checkLinks(site.output, {{outputPath, place.pagePath, links}}, kPageExtensions))
        lines << broken.line;
    return lines;
}

QString folderRootFor(const SiteSettings* site, const QString& documentPath) {
    if (site) return site->output;
    return documentPath.isEmpty() ? QString() : QFileInfo(documentPath).absolutePath();
}

PageOutcome buildPageFile(TemplateCache& templates, const QString& templatePath,
                          const QString& title, const SectionTable& table,
                          const QString& outputPath, const QString& documentPath,
                          const SiteSettings* site) {
    try {
        const std::shared_ptr<const TemplateRead> templ = templates.read(templatePath);
        const PagePlace place = placeInSite(site, outputPath);
        PlannedPage planned =
            planPageFile(*templ, templatePath, title, table, outputPath, documentPath, {}, place);
        PageOutcome outcome = commitPageFile(planned, outputPath);
        if (!outcome.built() && planned.plan.folderMissing &&
            makeFolderInside(QFileInfo(outputPath).absolutePath(),
                             folderRootFor(site, documentPath))) {
            planned = planPageFile(*templ, templatePath, title, table, outputPath, documentPath, {},
                                   place);
            outcome = commitPageFile(planned, outputPath);
        }
        outcome.links = std::move(planned.links);
        return outcome;
    } catch (const std::bad_alloc&) {
        return {PageOutcome::Kind::Failed, outOfMemory(outputPath), {}};
    }
}

} // namespace quillane
