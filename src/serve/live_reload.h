// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The live reload: a small script that each served page carries, which keeps a WebSocket open
// to the server and reloads the page when the server says that the page, or a stylesheet,
// script, picture or font it loaded, was written again.

namespace quillane {

// Where the pages' script connects. A hidden name, so that no file of the site can stand there.
inline constexpr char kLivePath[] = "/.quillane/live";

// The script element for a page served by the server that answers with this id. A page whose
// script meets a server with another id (the server was started again) reloads.
QByteArray liveReloadTag(const QByteArray& serverId);

// The messages the server sends: the greeting with its id, and the paths written again.
QByteArray helloMessage(const QByteArray& serverId);
QByteArray reloadMessage(const QStringList& urlPaths);

} // namespace quillane
