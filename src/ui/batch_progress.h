// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch_build.h"
#include "core/ports.h"

#include <QObject>
#include <functional>

class QLabel;
class QMainWindow;
class QProgressBar;
class QPushButton;

namespace quillane {

struct Session;

// A window's side of a batch, on its status line: a line that says what the batch is building
// and afterwards what it did, a progress bar, and a Stop button. While the batch runs, the
// window's caption names each document, and the window is painted at about a frame's pace:
// painting after each of thousands of documents would cost more than building them. The
// messages the batch tells pass here, so that the window behind them shows the document they
// are about.
class BatchProgress : public QObject {
public:
    // Puts the line, the bar and Stop on the window's status bar.
    explicit BatchProgress(QMainWindow* window);

    QLabel* lblStatus = nullptr;
    QProgressBar* prgBatch = nullptr;
    QPushButton* cmdStopBatch = nullptr;

    // A line of its own, on as many lines as it needs (also its tooltip).
    void showLine(const QString& text);
    bool running() const { return m_running; }
    // Asks a running batch to end after the document it is building.
    void stop();

    // Runs `batch`, which reports to the observer it is given, and then sums it up on the line.
    // showDocument shows the window's document of the moment when a frame is due.
    void run(Session& s, const std::function<BatchSummary(BatchObserver&)>& batch,
             const std::function<void()>& showDocument);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Follower;
    void fitLine();

    QMainWindow* m_window;
    bool m_running = false;
    bool m_stopRequested = false;
};

} // namespace quillane
