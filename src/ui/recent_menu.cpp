// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recent_menu.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace quillane {

QMenu* addRecentMenu(QMenu* menu, RecentList list, std::function<void(const QString&)> open) {
    QMenu* recent = menu->addMenu(QStringLiteral("Open r&ecent"));
    recent->setObjectName(QStringLiteral("mnuFileRecent"));
    const auto fill = [=] {
        recent->clear();
        const QStringList files = recentFiles(list);
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QFileInfo file(files[i]);
            QString caption = QStringLiteral("&%1 %2 (%3)")
                                  .arg(i + 1)
                                  .arg(file.fileName(), QDir::toNativeSeparators(file.path()));
            caption.replace(u'&', QStringLiteral("&&")).replace(0, 2, u'&');
            QAction* a = recent->addAction(caption);
            a->setToolTip(QDir::toNativeSeparators(files[i]));
            QObject::connect(a, &QAction::triggered, recent,
                             [open, path = files[i]] { open(path); });
        }
        recent->menuAction()->setEnabled(!files.isEmpty());
    };
    QObject::connect(menu, &QMenu::aboutToShow, recent, fill);
    fill();
    return recent;
}

} // namespace quillane
