// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/site_pages.h"

#include "build/batch_documents.h"
#include "core/html_editor_controller.h"
#include "formats/document_file.h"
#include "formats/text_codec.h"
#include "platform/file_system.h"

#include <QFile>

namespace quillane {

namespace {

// The modification time of the file at path (links followed); -1 when there is none.
qint64 modifiedNs(const QString& path) {
    platform::FileFacts facts;
    platform::SystemError error;
    if (!platform::lookAt(platform::encodePath(path), true, facts, error) ||
        facts.kind != platform::FileKind::Regular)
        return -1;
    return facts.modifiedNs;
}

// A document's first four lines, its header, and nothing more of it.
bool readHeader(const QString& path, QByteArray& head) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
    qsizetype lineEnds = 0, scanned = 0;
    while (lineEnds < 4 && head.size() < kMaxReadBytes) {
        const QByteArray more = file.read(4096);
        if (more.isEmpty()) break;
        head += more;
        for (; scanned < head.size(); ++scanned) {
            if (head[scanned] == '\r' && ++lineEnds == 4) {
                head.truncate(scanned + 1);
                break;
            }
        }
    }
    return true;
}

SitePage look(const QString& folder, const BatchDocument& doc, const BuiltPages& built,
              QHash<QString, qint64>& templateTimes) {
    SitePage page;
    page.name = doc.name;
    if (!doc.nameIsUtf8) {
        page.why = QStringLiteral("its name is not valid UTF-8; rename it to build it");
        return page;
    }
    const QString path = batchDocumentPath(folder, doc.name);
    QByteArray head;
    if (!readHeader(path, head)) {
        page.why = QStringLiteral("it cannot be read");
        return page;
    }
    const DocumentRead read = parseDocument(decodeText(head), path);
    if (!read.headerRead) {
        page.why = QStringLiteral("it is not a templated document");
        return page;
    }
    page.title = read.value.title;
    page.templatePath = read.value.templatePath;
    page.output = read.value.output.isEmpty() ? QString() : BuiltPages::pagePath(read.value.output);
    auto known = templateTimes.constFind(page.templatePath);
    if (known == templateTimes.cend())
        known = templateTimes.insert(page.templatePath, modifiedNs(page.templatePath));
    const qint64 templateNs = *known;
    if (templateNs < 0) {
        page.why = QStringLiteral("its template is not there");
        return page;
    }
    if (page.output.isEmpty() || isWindowsPath(read.value.output)) {
        page.why = QStringLiteral("it names no output file this system can write");
        return page;
    }
    const qint64 pageNs = modifiedNs(page.output);
    const qint64 documentNs = modifiedNs(path);
    const auto sources = built.sources.constFind(page.output);
    if (pageNs < 0)
        page.state = PageState::Missing;
    else if (sources != built.sources.cend() && sources->documentNs == documentNs &&
             sources->templateNs == templateNs)
        page.state =
            built.brokenLinks.contains(page.output) ? PageState::BrokenLinks : PageState::UpToDate;
    else if (documentNs > pageNs || templateNs > pageNs)
        page.state = PageState::OutOfDate;
    else
        page.state =
            built.brokenLinks.contains(page.output) ? PageState::BrokenLinks : PageState::UpToDate;
    return page;
}

} // namespace

QString pageStateText(PageState state) {
    switch (state) {
    case PageState::NotBuildable:
        return QStringLiteral("not buildable");
    case PageState::Missing:
        return QStringLiteral("missing");
    case PageState::OutOfDate:
        return QStringLiteral("out of date");
    case PageState::BrokenLinks:
        return QStringLiteral("broken links");
    case PageState::UpToDate:
        break;
    }
    return QStringLiteral("up to date");
}

SitePageList listSitePages(const QString& folder, const BuiltPages& built) {
    SitePageList list;
    list.folder = folder;
    FolderBatch batch;
    if (readBatchFolder(folder, batch, list.problem) != FolderProblem::None) return list;
    list.site = batch.site;
    QHash<QString, qint64> templateTimes;
    list.pages.reserve(batch.documents.size());
    for (const BatchDocument& doc : batch.documents)
        list.pages.append(look(folder, doc, built, templateTimes));
    return list;
}

SitePagesController::SitePagesController(Session& s, HtmlEditorController& editor,
                                         const QString& folder)
    : m_s(s), m_editor(editor) {
    m_list.folder = folder;
}

void SitePagesController::refresh() {
    BusyGuard busy(m_s.app);
    m_list = listSitePages(m_list.folder, m_s.builtPages);
}

std::optional<BatchRequest> SitePagesController::request(const QStringList& names) {
    BatchRequest request;
    request.folder = m_list.folder;
    request.site = m_list.site;
    for (const QString& name : names)
        request.documents.append({name, true});
    request.jobs = defaultJobs();
    std::optional<HtmlEditorController::AgreedOutputs> agreed;
    {
        BusyGuard busy(m_s.app); // every document is read to its output first
        agreed = m_editor.askAboutOtherFiles(request.folder, request.documents);
    }
    if (!agreed) return std::nullopt;
    request.policy.agreed = *agreed;
    return request;
}

BatchReport SitePagesController::build(const BatchRequest& request, BatchObserver& observer) {
    const BatchReport report = runBatch(m_s, request, observer);
    refresh();
    return report;
}

} // namespace quillane
