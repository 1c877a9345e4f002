// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The windows' preview: a page as it stands, unsaved edits included, shown in the browser at
// its own address inside its site, through the one preview server the program runs while it
// needs one. Nothing is written to disk; the server stops when the program ends.
//
// Built without the server (Qt HTTP Server missing, as for Windows here), the page is written
// into a temporary folder of the program's own instead, with a <base> that points its relative
// links back into its folder; that folder goes when the program ends.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace quillane {

class PreviewServer;

class PagePreview {
public:
    PagePreview();
    ~PagePreview();
    PagePreview(const PagePreview&) = delete;
    PagePreview& operator=(const PagePreview&) = delete;

    // Serves `bytes` as the page at `page` (an absolute path inside `root`, the folder the
    // site is seen from), in place of what is on disk there. The address of the page, or an
    // empty one with the reason when the server cannot start. `showing`: a browser shows that
    // address already, and reloads it by itself.
    QUrl show(const QString& root, const QString& page, const QByteArray& bytes, bool& showing,
              QString& problem);
    // What the server now serves at that address in place of the disk ("" for none).
    QByteArray shown(const QUrl& url) const;

private:
    QUrl showFromFile(const QString& root, const QString& page, const QByteArray& bytes,
                      QString& problem);

    std::unique_ptr<PreviewServer> m_server;
    QString m_root;
    std::unique_ptr<QTemporaryDir> m_files; // the previews written without a server
};

// Writes `bytes`, the page at `page` inside `root`, below `folder` at the same place relative
// to `root`, with a <base> after <head> (or first) so that its relative links lead where the
// page's own would. The file's address, or an empty one with the reason.
QUrl writePreviewFile(const QString& folder, const QString& root, const QString& page,
                      const QByteArray& bytes, QString& problem);

} // namespace quillane
