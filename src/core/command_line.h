// SPDX-License-Identifier: GPL-3.0-or-later
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
    int jobs = 0;        // --jobs=N; 0 when not given
    bool strict = false; // --strict: broken links fail the batch
    int serve = -1;      // --serve[=PORT]: -1 not given, 0 the first free port from 8080
    QString badOption;   // a --jobs= or --serve= whose number is no good, as given
    bool any() const {
        return allowOtherFiles || jobs > 0 || strict || serve >= 0 || !badOption.isEmpty();
    }
};
LeadingOptions takeLeadingOptions(QStringList& arguments);

// A number of jobs (--jobs=N, QUILLANE_JOBS): a whole number from 1 to kMaxJobs; 0 otherwise.
inline constexpr int kMaxJobs = 256;
int parseJobs(const QString& text);

// The argument text as the program sees it: its arguments joined by single spaces.
QString argumentText(const QStringList& arguments);

// "Invalid command line option: /X(don't worry - ...)"
QString invalidOptionMessage(const QString& option);

// The short usage printed by --help.
QString usageText();

} // namespace quillane
