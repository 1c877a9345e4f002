// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The charset trap. A page that declares no charset is written in windows-1252 (see
// encodePage), and a web server that announces UTF-8, as most do, then shows every character
// that is not plain ASCII as garbage. A template whose default HTML is a whole page (it has a
// <head>) and declares no charset where browsers look for one is told so, with the fix.

#include <QString>

namespace quillane {

// What is wrong, in one sentence; empty when nothing is: the default HTML has a <head> and no
// charset declaration (any charset) in its first 1024 characters.
QString charsetProblem(const QString& defaultHtml);

// The same on one line with what to do, as a template's warnings say it.
QString charsetWarning(const QString& defaultHtml);

// The default HTML with <meta charset="utf-8"> right after <head>: on a line of its own,
// indented as the line after it, when <head> ends its line; otherwise right behind it.
QString withUtf8Charset(const QString& defaultHtml);

inline const QString kUtf8Meta = QStringLiteral("<meta charset=\"utf-8\">");

} // namespace quillane
