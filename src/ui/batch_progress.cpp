// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch_progress.h"

#include "core/workspace.h"
#include "ui/twips.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>

namespace quillane {

namespace {

// The first `cap` items, then "... and N more".
QString cappedList(const QStringList& items, qsizetype cap, const QString& separator) {
    QStringList shown = items.mid(0, cap);
    if (items.size() > cap) shown << QStringLiteral("... and %1 more").arg(items.size() - cap);
    return shown.join(separator);
}

QString plural(int n, const char* word) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? "" : "s");
}

} // namespace

// Follows the batch for the window: counts what became of each document and paints a frame
// when one is due, or before a message.
class BatchProgress::Follower : public BatchObserver, public Prompter {
public:
    Follower(BatchProgress& p, Prompter* inner, const std::function<void()>& showDocument)
        : m_p(p), m_inner(inner), m_showDocument(showDocument) {}

    void batchStarted(const QString&, int documentsFound) override {
        m_found = documentsFound;
        m_p.prgBatch->setRange(0, std::max(1, documentsFound));
        m_frame.start();
    }
    void documentStarted(const QString& fullPath, int index) override {
        m_p.m_window->setWindowTitle(fullPath);
        m_index = index;
        m_name = fullPath.mid(fullPath.lastIndexOf(u'/') + 1);
        if (m_p.m_window->updatesEnabled()) m_p.m_window->setUpdatesEnabled(false);
    }
    void documentFinished(const QString& fullPath, DocumentOutcome outcome) override {
        if (outcome == DocumentOutcome::Built || outcome == DocumentOutcome::Unchanged)
            ++m_built;
        else
            ++m_notBuilt;
        if (outcome == DocumentOutcome::Unchanged) ++m_unchanged;
        if (outcome == DocumentOutcome::NameNotUtf8)
            m_misnamed << escapeControls(fullPath.mid(fullPath.lastIndexOf(u'/') + 1));
        if (m_index == 0 || m_frame.hasExpired(kFrameMs)) showFrame();
    }
    bool stopRequested() override { return m_p.m_stopRequested; }
    Prompter* inner() const { return m_inner; }
    void outOfMemory(const QString&, const Message& message) override { show(message); }

    MsgAnswer show(const Message& message) override {
        showFrame();
        return m_inner ? m_inner->show(message) : message.defaultButton;
    }

    // Paints the window now, showing the document of the moment.
    void showFrame() {
        m_frame.restart();
        m_showDocument();
        QLabel* line = m_p.lblStatus;
        const QString text =
            QStringLiteral("Building %1 of %2: %3").arg(m_index + 1).arg(m_found).arg(m_name) +
            (m_p.m_stopRequested ? QStringLiteral(" (stopping...)") : QString());
        line->setText(
            line->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(line->width(), 1)));
        m_p.prgBatch->setValue(m_built + m_notBuilt);
        m_p.m_window->setUpdatesEnabled(true);
        m_p.m_window->repaint();
    }

    QString summary(const BatchSummary& s) const {
        // "12 built (3 unchanged), 1 not built.": the unchanged pages were not written again.
        QString counts =
            QString::number(m_built) + QStringLiteral(" built") +
            (m_unchanged ? QStringLiteral(" (%1 unchanged)").arg(m_unchanged) : QString()) +
            QStringLiteral(", %1 not built.").arg(m_notBuilt);
        if (!m_misnamed.isEmpty())
            counts += (m_misnamed.size() == 1
                           ? QStringLiteral(" This name is not valid UTF-8; rename the file to "
                                            "build it: ")
                           : QStringLiteral(" These names are not valid UTF-8; rename the files "
                                            "to build them: ")) +
                      cappedList(m_misnamed, 3, QStringLiteral(", "));
        if (s.stopped)
            return QStringLiteral("Batch build stopped after %1 of %2: ")
                       .arg(s.done)
                       .arg(plural(s.found, "document")) +
                   counts;
        return QStringLiteral("Batch build finished: ") + counts;
    }

private:
    static constexpr qint64 kFrameMs = 40;
    BatchProgress& m_p;
    Prompter* m_inner;
    std::function<void()> m_showDocument;
    QElapsedTimer m_frame;
    int m_found = 0;
    int m_index = 0;
    QString m_name;
    int m_built = 0;
    int m_unchanged = 0;
    int m_notBuilt = 0;
    QStringList m_misnamed;
};

BatchProgress::BatchProgress(QMainWindow* window) : QObject(window), m_window(window) {
    lblStatus = new QLabel(window);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    // Long names must not widen the window (see fitLine).
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblStatus->setMinimumWidth(1);
    lblStatus->installEventFilter(this);
    prgBatch = new QProgressBar(window);
    prgBatch->setObjectName(QStringLiteral("prgBatch"));
    prgBatch->setMaximumWidth(twips(window, 1000));
    prgBatch->hide();
    cmdStopBatch = new QPushButton(QStringLiteral("&Stop"), window);
    cmdStopBatch->setObjectName(QStringLiteral("cmdStopBatch"));
    cmdStopBatch->setToolTip(QStringLiteral("Stop the batch build after the current document"));
    cmdStopBatch->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    cmdStopBatch->hide();
    connect(cmdStopBatch, &QPushButton::clicked, this, [this] { stop(); });
    window->statusBar()->addWidget(lblStatus, 1);
    window->statusBar()->addPermanentWidget(prgBatch);
    window->statusBar()->addPermanentWidget(cmdStopBatch);
}

void BatchProgress::showLine(const QString& text) {
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
    fitLine();
}

void BatchProgress::fitLine() {
    // One line, or as many as the text needs at the line's width: the window grows to show
    // them, it is never cut.
    const bool wraps = lblStatus->fontMetrics().horizontalAdvance(lblStatus->text()) >
                       lblStatus->contentsRect().width();
    if (wraps != lblStatus->wordWrap()) lblStatus->setWordWrap(wraps);
    if (!wraps) {
        lblStatus->setMinimumHeight(0);
        lblStatus->setMaximumHeight(QWIDGETSIZE_MAX);
        return;
    }
    const int height = lblStatus->heightForWidth(lblStatus->width());
    if (height > 0 && height != lblStatus->height()) lblStatus->setFixedHeight(height);
}

bool BatchProgress::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblStatus && event->type() == QEvent::Resize) fitLine();
    return QObject::eventFilter(watched, event);
}

void BatchProgress::stop() {
    if (!m_running) return;
    m_stopRequested = true;
    cmdStopBatch->setEnabled(false);
    if (!lblStatus->text().endsWith(QLatin1String("(stopping...)")))
        showLine(lblStatus->text() + QStringLiteral(" (stopping...)"));
}

void BatchProgress::run(Session& s, const std::function<BatchSummary(BatchObserver&)>& batch,
                        const std::function<void()>& showDocument) {
    if (m_running) return;
    Follower follower(*this, s.prompter, showDocument);
    m_running = true;
    m_stopRequested = false;
    prgBatch->setValue(0);
    showLine(QString());
    prgBatch->show();
    cmdStopBatch->setEnabled(true);
    cmdStopBatch->show();
    s.prompter = &follower;
    BatchSummary summary;
    {
        const auto done = qScopeGuard([&] {
            s.prompter = follower.inner();
            m_window->setUpdatesEnabled(true);
            m_running = false;
            prgBatch->hide();
            cmdStopBatch->hide();
        });
        summary = batch(follower);
    }
    showLine(follower.summary(summary));
}

} // namespace quillane
