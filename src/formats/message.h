#pragma once

#include <QString>

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
};

inline const QString kCrLf = QStringLiteral("\r\n");

} // namespace quillane
