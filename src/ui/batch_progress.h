// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/batch.h"
#include "core/ports.h"

#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillane {

struct Session;

// A window's side of a batch, the one both windows use: a line that says what the batch is
// building and afterwards what it did, a progress bar, and a Stop button, side by side. While
// the batch runs, the window is painted at about a frame's pace (painting after each of
// thousands of documents would cost more than building them), and with `captions` its caption
// names each document. The messages the batch tells pass here, so that the window behind them
// shows the document they are about.
class BatchProgress : public QWidget {
public:
    BatchProgress(QWidget* window, bool captions, QWidget* parent);

    QLabel* lblStatus = nullptr;
    QProgressBar* prgBatch = nullptr;
    QPushButton* cmdStopBatch = nullptr;

    // A line of its own, on as many lines as it needs (also its tooltip).
    void showLine(const QString& text);
    bool running() const { return m_running; }
    // Asks a running batch to end after the document it is building.
    void stop();

    // Runs `batch`, which reports to the observer it is given and returns the line that sums
    // it up, shown afterwards. showDocument shows the window's document of the moment when a
    // frame is due.
    void run(Session& s, const std::function<QString(BatchObserver&)>& batch,
             const std::function<void()>& showDocument = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Follower;
    void fitLine();

    QWidget* m_window;
    bool m_captions;
    bool m_running = false;
    bool m_stopRequested = false;
};

} // namespace quillane
