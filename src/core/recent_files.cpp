// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace quillane {

namespace {

// The user's settings in the default format, which tests point at a folder of their own.
struct Store : QSettings {
    Store()
        : QSettings(QSettings::defaultFormat(), QSettings::UserScope, QStringLiteral("Quillane"),
                    QStringLiteral("Quillane")) {}
};

QString key(RecentList list) {
    return list == RecentList::Documents ? QStringLiteral("recent/documents")
                                         : QStringLiteral("recent/templates");
}

QString fullPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void change(RecentList list, const QString& path, bool atTop) {
    Store settings;
    QStringList files = settings.value(key(list)).toStringList();
    const QString full = fullPath(path);
    files.removeAll(full);
    if (atTop) files.prepend(full);
    settings.setValue(key(list), files.mid(0, kRecentFiles));
}

} // namespace

QStringList recentFiles(RecentList list) {
    return Store().value(key(list)).toStringList().mid(0, kRecentFiles);
}

void noteRecentFile(RecentList list, const QString& path) {
    if (!path.isEmpty()) change(list, path, true);
}

void forgetRecentFile(RecentList list, const QString& path) {
    change(list, path, false);
}

bool recentFileGone(const Session& s, RecentList list, const QString& path, const QString& title) {
    if (QFileInfo(path).isFile()) return false;
    forgetRecentFile(list, path);
    s.tell(QStringLiteral("The %1 '%2' is no longer there, so it was taken off the list of recent "
                          "files.")
               .arg(list == RecentList::Documents ? QStringLiteral("document")
                                                  : QStringLiteral("template"),
                    QDir::toNativeSeparators(path)),
           title, MsgIcon::Exclamation);
    return true;
}

QString lastNewTemplate() {
    return Store().value(QStringLiteral("recent/newFromTemplate")).toString();
}

void setLastNewTemplate(const QString& path) {
    Store().setValue(QStringLiteral("recent/newFromTemplate"), fullPath(path));
}

} // namespace quillane
