// SPDX-License-Identifier: GPL-3.0-or-later
// The designer on a copy of the example site, with the real message boxes: the locked nav made
// editable and saved, every question answered with Enter. The documents are updated and the
// pages built again, each showing its own text in its place.

#include "formats/document_file.h"
#include "support/files.h"
#include "ui/designer_window.h"
#include "ui/section_editor.h"
#include "ui/ui_session.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

TEST(TemplateChange, EnterUpdatesTheExampleSiteAndItsPagesShowEachPagesOwnText) {
    QTemporaryDir tmp;
    const QString site = tmp.filePath("site/"), source = QUILLANE_SOURCE_DIR "/examples/site/";
    QDir().mkpath(tmp.filePath("program"));
    QFile::copy(QUILLANE_SOURCE_DIR "/default.qtf", tmp.filePath("program/default.qtf"));
    // The whole site, its documents in three folders; no page built yet.
    QStringList docs;
    for (QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString name = QDir(source).relativeFilePath(it.next());
        QDir().mkpath(QFileInfo(site + name).path());
        QFile::copy(source + name, site + name);
        if (name.endsWith(".qht")) docs << name;
    }

    UiSession ui(tmp.filePath("program"));
    frmTemplates* w = ui.showDesigner();
    ASSERT_TRUE(w->controller().openTemplate(site + "site.qtf")); // as File > Open does
    ui.ws().CurrentFile = site + "site.qtf";
    ASSERT_EQ(w->lstSections->item(0)->text(), "nav");

    // Every modal window as the user meets it: the section editor gets its box ticked and OK;
    // a message, and the pages dialog once it has finished, get Enter.
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* sections = qobject_cast<frmSections*>(modal)) {
            sections->chkSectEditable->setChecked(true);
            sections->cmdOk->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text().section(u'\n', 0, 0);
            QTest::keyClick(box, Qt::Key_Return);
        } else if (modal && modal->findChild<QPushButton*>("cmdClose")->isVisible()) {
            seen << modal->findChild<QLabel*>("lblStatus")->text();
            QTest::keyClick(modal, Qt::Key_Return);
        }
    });
    answer.start(20);
    w->lstSections->setCurrentRow(0);
    w->cmdEdit->click();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    answer.stop();

    EXPECT_EQ(seen, (QStringList{"The editable sections of this template change from (intro, "
                                 "body) to (nav, intro, body). These templated documents keep "
                                 "their sections' HTML in the old order, so unless they are "
                                 "updated, their HTML moves into other sections:",
                                 "9 templated documents were updated.",
                                 "Pages using this template: 9 built, 0 not built, 0 broken "
                                 "links."}));
    const QString nav = readTemplateFile(site + "site.qtf").value.sections.SectionHtml[1];
    for (const QString& d : docs) {
        const DocumentFile before = readDocumentFile(source + d).value;
        const DocumentFile after = readDocumentFile(site + d).value;
        EXPECT_EQ(after.blocks, QStringList{nav} + before.blocks) << d.toStdString();
        // The nav (its links made relative to the page), then the page's own title and intro.
        const QString page = QString::fromUtf8(readBytes(after.output));
        EXPECT_TRUE(page.contains(QRegularExpression(
            "Example site</a>\r\n<nav>.*</nav></header>\r\n<main>\r\n<h1>" +
            QRegularExpression::escape(before.title + "</h1>\r\n" + before.blocks[0]))))
            << d.toStdString();
    }
}
