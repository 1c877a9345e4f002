#pragma once

#include <QString>
#include <QStringList>

namespace quillane {

// The argument text split at its first colon: the option before it, the file after it (kept
// exactly, further colons included). Without a colon the whole text is the option.
struct CommandLine {
    QString option;
    QString file;
    bool hasColon = false;
};

CommandLine splitCommandLine(const QString& argumentText);

// Options written before the argument text ("--allow-other-files /B:site"). They are taken off
// the front of the arguments before these are joined, so that the rest splits as usual.
struct LeadingOptions {
    bool allowOtherFiles = false;
};
LeadingOptions takeLeadingOptions(QStringList& arguments);

// The argument text as the program sees it: its arguments joined by single spaces.
QString argumentText(const QStringList& arguments);

// "Invalid command line option: /X(don't worry - ...)"
QString invalidOptionMessage(const QString& option);

// The short usage printed by --help.
QString usageText();

} // namespace quillane
