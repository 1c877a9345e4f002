// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/site_settings_editor.h"

#include "core/version.h"
#include "formats/read_failure.h"

#include <QDir>

namespace quillane {

const QString SiteSettingsEditor::kTitle = QStringLiteral("Quillane Site settings");

SiteSettingsEditor::SiteSettingsEditor(Session& s, FileDialogPort& dialog,
                                       const SiteSettings& settings, bool exists)
    : m_s(s), m_dialog(dialog) {
    const QDir site(settings.folder);
    m_form.folder = settings.folder;
    m_form.file = settings.file;
    m_form.exists = exists;
    m_form.output = site.relativeFilePath(settings.output);
    m_form.assets = settings.assets.isEmpty() ? QString() : site.relativeFilePath(settings.assets);
    m_form.subfolders = settings.subfolders;
    m_form.links = settings.links;
    m_form.check = settings.check;
}

void SiteSettingsEditor::outputEdited(const QString& text) {
    m_form.output = text;
    m_form.changed = true;
}

void SiteSettingsEditor::assetsEdited(const QString& text) {
    m_form.assets = text;
    m_form.changed = true;
}

void SiteSettingsEditor::subfoldersChosen(SiteSubfolders value) {
    m_form.changed |= m_form.subfolders != value;
    m_form.subfolders = value;
}

void SiteSettingsEditor::linksChosen(SiteLinks value) {
    m_form.changed |= m_form.links != value;
    m_form.links = value;
}

void SiteSettingsEditor::checkChosen(SiteCheck value) {
    m_form.changed |= m_form.check != value;
    m_form.check = value;
}

bool SiteSettingsEditor::browse(SiteField field) {
    const bool output = field == SiteField::Output;
    const QDir site(m_form.folder);
    const QString typed = (output ? m_form.output : m_form.assets).trimmed();
    m_dialog.dialogTitle = output ? QStringLiteral("Choose the folder the pages go to...")
                                  : QStringLiteral("Choose the assets folder...");
    m_dialog.fileName = typed.isEmpty() ? m_form.folder : site.absoluteFilePath(typed);
    m_dialog.showFolder();
    if (m_dialog.fileName.isEmpty()) return false;
    const QString chosen = site.relativeFilePath(m_dialog.fileName);
    if (output)
        outputEdited(chosen);
    else
        assetsEdited(chosen);
    return true;
}

QString SiteSettingsEditor::fileText() const {
    SiteSettings s;
    s.folder = m_form.folder;
    s.file = m_form.file;
    const QDir site(m_form.folder);
    const auto folder = [&](const QString& typed) {
        return QDir::cleanPath(site.absoluteFilePath(typed.trimmed()));
    };
    s.output = folder(m_form.output);
    if (!m_form.assets.trimmed().isEmpty()) s.assets = folder(m_form.assets);
    s.subfolders = m_form.subfolders;
    s.links = m_form.links;
    s.check = m_form.check;
    return siteFileText(s);
}

bool SiteSettingsEditor::save() {
    m_problem = SiteField::None;
    QString problem;
    const QString text = fileText();
    if (m_form.output.trimmed().isEmpty()) {
        m_problem = SiteField::Output;
        problem = QStringLiteral("name the folder the pages go to, such as public");
    } else {
        // Read back as the build will read it; its words, without the file and line, which
        // the user never sees here.
        const SiteFileRead read = parseSiteFile(text, m_form.file);
        if (!read.settings) {
            const QString where =
                read.line > 0 ? m_form.file + u':' + QString::number(read.line) : m_form.file;
            problem = read.problem.mid(where.size() + 2);
            const QString line = text.split(kCrLf).value(read.line - 1);
            m_problem = line.startsWith(QLatin1String("assets"))   ? SiteField::Assets
                        : line.startsWith(QLatin1String("output")) ? SiteField::Output
                                                                   : SiteField::None;
        }
    }
    if (!problem.isEmpty()) {
        m_s.tell(QStringLiteral("The site settings were not saved: ") + problem + u'.', kTitle,
                 MsgIcon::Exclamation);
        return false;
    }
    if (const std::optional<Message> failure = saveTextFile(m_form.file, text)) {
        m_s.tell(*failure);
        return false;
    }
    m_form.exists = true;
    m_form.changed = false;
    return true;
}

bool SiteSettingsEditor::confirmClose() {
    if (!m_form.changed) return true;
    switch (m_s.tell(QStringLiteral("Do you want to save your changes to ") +
                         QDir::toNativeSeparators(m_form.file) + u'?',
                     QString::fromLatin1(kAppTitle), MsgIcon::Question, MsgButtons::YesNoCancel,
                     MsgAnswer::Yes)) {
    case MsgAnswer::Yes:
        return save();
    case MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

} // namespace quillane
