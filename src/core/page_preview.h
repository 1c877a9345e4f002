// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The windows' preview: a page as it stands, unsaved edits included, shown in the browser at
// its own address inside its site, through the one preview server the program runs while it
// needs one. Nothing is written to disk; the server stops when the program ends.

#include <QByteArray>
#include <QString>
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
    std::unique_ptr<PreviewServer> m_server;
    QString m_root;
};

} // namespace quillane
