#include "build/batch_build.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace quillane {

bool listBatchDocuments(const QString& folder, QStringList& names, QString& reason) {
    const QString dir = folder.isEmpty() ? QStringLiteral(".") : folder;
    const QFileInfo info(dir);
    if (!info.exists()) {
        reason = QStringLiteral("no such folder");
        return false;
    }
    if (!info.isDir()) {
        reason = QStringLiteral("not a folder");
        return false;
    }
    if (!info.isReadable() || !info.isExecutable()) {
        reason = QStringLiteral("permission denied");
        return false;
    }
    names.clear();
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (!name.endsWith(QLatin1String("qht"), Qt::CaseSensitive)) continue;
        if (it.fileInfo().isDir()) continue;
        names.append(name);
    }
    return true;
}

QString folderOfChoice(const QString& fullPath, const QString& fileTitle) {
    return fullPath.left(std::max<qsizetype>(0, fullPath.size() - fileTitle.size()));
}

BatchSummary runBatch(const QString& folder, const QStringList& names, BatchObserver& observer,
                      const std::function<DocumentOutcome(const QString& fullPath)>& buildOne) {
    BatchSummary summary;
    summary.found = int(names.size());
    observer.batchStarted(folder, summary.found);
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    for (const QString& name : names) {
        const QString full = folder.isEmpty() ? name : dir.filePath(name);
        observer.documentStarted(full, summary.done);
        const DocumentOutcome outcome = buildOne(full);
        if (outcome == DocumentOutcome::Built) ++summary.built;
        ++summary.done;
        observer.documentFinished(full, outcome);
        if (observer.stopRequested()) {
            summary.stopped = summary.done < summary.found;
            break;
        }
    }
    return summary;
}

} // namespace quillane
