// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/workspace.h"

#include <QString>
#include <QStringList>

// The files the user worked on lately, most recent first, in the user's own settings (Qt's
// settings store in its default format: on Linux ~/.config/Quillane/Quillane.conf).

namespace quillane {

enum class RecentList { Documents, Templates };
inline constexpr int kRecentFiles = 8;

QStringList recentFiles(RecentList list);
// Puts the file at the top of its list, once; the oldest beyond kRecentFiles go.
void noteRecentFile(RecentList list, const QString& path);
void forgetRecentFile(RecentList list, const QString& path);
// True when the recent file at path is gone: the user is told, under title, and it leaves the
// list.
bool recentFileGone(const Session& s, RecentList list, const QString& path, const QString& title);

// The template File > New from template... took last.
QString lastNewTemplate();
void setLastNewTemplate(const QString& path);

} // namespace quillane
