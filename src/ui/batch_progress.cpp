// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch_progress.h"

#include "core/workspace.h"
#include "ui/twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

namespace quillane {

// Follows the batch for the window: counts what became of each document and paints a frame
// when one is due, or before a message.
class BatchProgress::Follower : public BatchObserver, public Prompter {
public:
    Follower(BatchProgress& p, Prompter* inner, const std::function<void()>& showDocument)
        : m_p(p), m_inner(inner), m_showDocument(showDocument) {}

    void batchStarted(const BatchReport& report) override {
        m_found = report.found;
        m_p.prgBatch->setRange(0, std::max(1, report.found));
        m_frame.start();
    }
    void documentStarted(const QString& fullPath, int index) override {
        if (m_p.m_captions) m_p.m_window->setWindowTitle(QDir::toNativeSeparators(fullPath));
        m_index = index;
        m_name = fullPath.mid(fullPath.lastIndexOf(u'/') + 1);
        if (m_p.m_window->updatesEnabled()) m_p.m_window->setUpdatesEnabled(false);
    }
    void documentFinished(const DocumentReport&) override {
        ++m_done;
        if (m_index == 0 || m_frame.hasExpired(kFrameMs)) showFrame();
    }
    bool stopRequested() override { return m_p.m_stopRequested; }
    Prompter* inner() const { return m_inner; }

    MsgAnswer show(const Message& message) override {
        showFrame();
        return m_inner ? m_inner->show(message) : message.defaultButton;
    }

    // Paints the window now, showing the document of the moment.
    void showFrame() {
        m_frame.restart();
        if (m_showDocument) m_showDocument();
        QLabel* line = m_p.lblStatus;
        // A name too long for the line is shortened, never the counts.
        const QString counts = QStringLiteral("Building %1 of %2: ").arg(m_index + 1).arg(m_found);
        const QString stopping = m_p.m_stopRequested ? QStringLiteral(" (stopping...)") : QString();
        const QFontMetrics metrics = line->fontMetrics();
        const int room = line->width() - metrics.horizontalAdvance(counts + stopping);
        line->setText(counts + metrics.elidedText(m_name, Qt::ElideMiddle, std::max(room, 1)) +
                      stopping);
        m_p.prgBatch->setValue(m_done);
        m_p.m_window->setUpdatesEnabled(true);
        m_p.m_window->repaint();
        // Stop, and the keyboard, get their turn once a frame.
        QCoreApplication::processEvents();
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
    int m_done = 0;
};

BatchProgress::BatchProgress(QWidget* window, bool captions, QWidget* parent)
    : QWidget(parent), m_window(window), m_captions(captions) {
    setObjectName(QStringLiteral("batchProgress"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    // Long names must not widen the window (see fitLine).
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblStatus->setMinimumWidth(1);
    lblStatus->installEventFilter(this);
    prgBatch = new QProgressBar(this);
    prgBatch->setObjectName(QStringLiteral("prgBatch"));
    prgBatch->setMaximumWidth(twips(window, 1000));
    prgBatch->hide();
    cmdStopBatch = new QPushButton(QStringLiteral("&Stop"), this);
    cmdStopBatch->setObjectName(QStringLiteral("cmdStopBatch"));
    cmdStopBatch->setToolTip(QStringLiteral("Stop the batch build after the current document"));
    cmdStopBatch->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Enter meant for a question before must not stop the build.
    cmdStopBatch->setAutoDefault(false);
    cmdStopBatch->hide();
    connect(cmdStopBatch, &QPushButton::clicked, this, [this] { stop(); });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(lblStatus, 1);
    row->addWidget(prgBatch);
    row->addWidget(cmdStopBatch);
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

void BatchProgress::run(Session& s, const std::function<QString(BatchObserver&)>& batch,
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
    QString summary;
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
    showLine(summary);
}

} // namespace quillane
