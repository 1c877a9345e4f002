// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Standard output and standard error as /B: and /W: write them.

#include "build/batch.h"
#include "build/batch_report.h"
#include "platform/console.h"

#include <QString>
#include <cerrno>
#include <cstdio>

namespace quillane {

// One of the two output streams; remembers the first error writing to it.
class Stream {
public:
    explicit Stream(std::FILE* f) : m_f(f) {}
    void line(const QString& text) {
        const QByteArray bytes = text.toUtf8() + '\n';
        errno = 0;
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_f) != size_t(bytes.size()))
            failed();
    }
    void flush() {
        errno = 0;
        if (std::fflush(m_f) != 0 || std::ferror(m_f)) failed();
    }
    int error() const { return m_error; }

private:
    void failed() {
        if (!m_error) m_error = errno ? errno : EIO;
    }
    std::FILE* m_f;
    int m_error = 0;
};

// Prints each page built on standard output and every line about a document on standard
// error, as the documents finish; a stop request ends the batch.
class ConsoleObserver : public BatchObserver {
public:
    // printUnchanged: a page that was on disk as built already is printed too.
    ConsoleObserver(Stream& out, Stream& err, bool printUnchanged = true)
        : m_out(out), m_err(err), m_printUnchanged(printUnchanged) {}

    void documentFinished(const DocumentReport& r) override {
        for (const QString& line : reportLines(r))
            m_err.line(line);
        if (r.outcome == DocumentOutcome::Built ||
            (r.outcome == DocumentOutcome::Unchanged && m_printUnchanged))
            m_out.line(escapeControls(r.output));
        if (m_also) m_also(r);
    }
    bool stopRequested() override { return platform::StopRequests::pending() != 0; }
    // Also hears of each document (the watch remembers them).
    std::function<void(const DocumentReport&)> m_also;

private:
    Stream& m_out;
    Stream& m_err;
    bool m_printUnchanged;
};

} // namespace quillane
