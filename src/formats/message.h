// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What the program tells the user: one modal message with its title, icon and buttons. The
// readers and the build hand failures back as these values; the windows show them, the
// command line prints them.

namespace quillane {

enum class MsgIcon { None, Critical, Exclamation, Question, Information };
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Yes, No, Cancel };

struct Message {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultButton = MsgAnswer::Ok;
    // The buttons' own captions in the order Yes, No, Cancel (or OK), where the standard ones
    // would not say what they do ("Save anyway"); none: the standard captions.
    QStringList captions = {};
};

inline const QString kCrLf = QStringLiteral("\r\n");

} // namespace quillane
