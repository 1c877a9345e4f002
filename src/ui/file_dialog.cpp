// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_dialog.h"

#include "ui/qt_ports.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace quillane {

namespace {

// The Qt dialog accepts a name in a folder that does not exist; the open uses must not.
class CheckingFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    bool folderMustExist = false;

    void accept() override {
        if (folderMustExist) {
            const QStringList files = selectedFiles();
            if (!files.isEmpty()) {
                const QFileInfo fi(files.first());
                if (!fi.isDir() && !QFileInfo(fi.absolutePath()).isDir()) {
                    QMessageBox::warning(this, windowTitle(),
                                         QStringLiteral("The folder '%1' does not exist.\nCheck "
                                                        "the path and try again.")
                                             .arg(QDir::toNativeSeparators(fi.absolutePath())));
                    return;
                }
            }
        }
        QFileDialog::accept();
    }
};

// The nearest folder at or above path that exists, or "" when there is none.
QString existingFolder(const QString& path) {
    if (path.isEmpty()) return {};
    QDir dir(QFileInfo(path).absoluteFilePath());
    for (int i = 0; i < 256; ++i) {
        if (dir.exists()) return dir.absolutePath();
        if (!dir.cdUp()) break;
    }
    return {};
}

} // namespace

QStringList qtNameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        out << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty()) out << parts.last(); // a lone pattern
    return out;
}

void QtFileDialog::run(bool save) {
    CheckingFileDialog dlg(m_owner, dialogTitle);
    dlg.setOption(QFileDialog::DontUseNativeDialog); // the checks above need Qt's own dialog
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // An open use may name a file that does not exist yet; only its folder must.
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt);
    dlg.folderMustExist = pathMustExist;
    const QStringList filters = qtNameFilters(filter);
    if (!filters.isEmpty()) dlg.setNameFilters(filters);
    QString ext = defaultExt;
    if (ext.startsWith(u'.')) ext.remove(0, 1);
    dlg.setDefaultSuffix(ext);

    // A preset path whose folder has gone starts in the nearest folder that still exists.
    const QFileInfo preset(fileName);
    QString folder;
    if (!fileName.isEmpty() && (fileName.contains(u'/') || QDir::isAbsolutePath(fileName)))
        folder = existingFolder(preset.absolutePath());
    if (folder.isEmpty()) folder = existingFolder(m_lastFolder);
    if (folder.isEmpty()) folder = QDir::homePath();
    dlg.setDirectory(folder);
    if (!fileName.isEmpty()) dlg.selectFile(preset.fileName());

    bool chosen;
    {
        ModalGuard modal;
        chosen = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    }
    if (!chosen) {
        fileName.clear();
        fileTitle.clear();
        return;
    }
    fileName = QDir::cleanPath(QFileInfo(dlg.selectedFiles().first()).absoluteFilePath());
    fileTitle = QFileInfo(fileName).fileName();
    m_lastFolder = QFileInfo(fileName).absolutePath();
}

void QtFileDialog::showFolder() {
    QFileDialog dlg(m_owner, dialogTitle);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    QString folder = existingFolder(fileName);
    if (folder.isEmpty()) folder = existingFolder(m_lastFolder);
    dlg.setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    bool chosen;
    {
        ModalGuard modal;
        chosen = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    }
    fileName = chosen ? QDir::cleanPath(QFileInfo(dlg.selectedFiles().first()).absoluteFilePath())
                      : QString();
    fileTitle = QFileInfo(fileName).fileName();
    if (chosen) m_lastFolder = fileName;
}

} // namespace quillane
