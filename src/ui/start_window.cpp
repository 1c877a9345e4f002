// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/start_window.h"

#include "core/version.h"
#include "shell/file_association.h"
#include "ui/about_box.h"
#include "ui/html_editor_window.h"
#include "ui/program_icon.h"
#include "ui/twips.h"
#include "ui/ui_session.h"

#include <QCloseEvent>
#include <QEventLoopLocker>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>

namespace quillane {

namespace {

// The captions were laid out for narrow captions that wrap inside their controls; Qt's
// buttons and option buttons do not wrap, so these two draw their own text. With a larger
// face a caption may need another line: heightForWidth() says how tall the control must be.
constexpr int kButtonText = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
constexpr int kOptionText = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

class WrappingButton : public QPushButton {
public:
    WrappingButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        QStyleOptionButton opt;
        initStyleOption(&opt);
        opt.rect.setWidth(width);
        const QRect area = textArea(opt);
        return height() - area.height() +
               fontMetrics().boundingRect(area, kButtonText, opt.text).height();
    }

protected:
    QRect textArea(const QStyleOptionButton& opt) const {
        return style()
            ->subElementRect(QStyle::SE_PushButtonContents, &opt, this)
            .adjusted(1, 0, -1, 0);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        style()->drawControl(QStyle::CE_PushButton, &opt, &p, this);
        style()->drawItemText(&p, textArea(opt), kButtonText, palette(), isEnabled(), caption,
                              QPalette::ButtonText);
    }
};

class WrappingOption : public QRadioButton {
public:
    WrappingOption(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {}

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        QStyleOptionButton opt;
        initStyleOption(&opt);
        opt.rect.setWidth(width);
        return fontMetrics().boundingRect(textArea(opt), kOptionText, opt.text).height();
    }

protected:
    QRect textArea(const QStyleOptionButton& opt) const {
        const QRect indicator =
            style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, this);
        const int gap = style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &opt, this);
        QRect area = opt.rect;
        area.setLeft(indicator.right() + 1 + gap);
        return area;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        style()->drawControl(QStyle::CE_RadioButton, &opt, &p, this);
        const QRect area = textArea(opt);
        style()->drawItemText(&p, area, kOptionText, palette(), isEnabled(), caption,
                              QPalette::WindowText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = area;
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
        }
    }
    // The whole control takes the click, the wrapped caption included.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A control whose caption needs more lines than its place holds grows downwards for them.
void fitCaption(QWidget* control) {
    control->resize(control->width(),
                    std::max(control->height(), control->heightForWidth(control->width())));
}

} // namespace

frmMain::frmMain(UiSession& ui)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_ui(ui) {
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowIcon(programIcon());
    setFont(layoutFont());
    setFixedSize(twips(this, 2670), twips(this, 3120));

    Label1 = new QLabel(QStringLiteral("Choose what you want to do:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 120, 120, 2070, 195);
    Label1->adjustSize();

    const QString captions[] = {
        QStringLiteral("I wanna design a template!"),
        QStringLiteral("I wanna use a template to create a HTML file"),
        QStringLiteral("I wanna compile a whole heap of HTML template files!"),
    };
    const int tops[] = {480, 840, 1320};
    const int heights[] = {255, 375, 375};
    for (int i = 0; i < 3; ++i) {
        optWhere[i] = new WrappingOption(captions[i], this);
        optWhere[i]->setObjectName(QStringLiteral("optWhere(%1)").arg(i));
        placeTwips(optWhere[i], 120, tops[i], 2415, heights[i]);
        fitCaption(optWhere[i]);
    }
    optWhere[0]->setChecked(true);

    cmdStart = new WrappingButton(QStringLiteral("&Start the adventure!"), this);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    placeTwips(cmdStart, 120, 1920, 1215, 495);
    cmdWhatThe = new WrappingButton(QStringLiteral("&What the...?"), this);
    cmdWhatThe->setObjectName(QStringLiteral("cmdWhatThe"));
    placeTwips(cmdWhatThe, 1440, 1920, 1095, 495);
    cmdAssociate = new WrappingButton(QStringLiteral("&Associate files"), this);
    cmdAssociate->setObjectName(QStringLiteral("cmdAssociate"));
    placeTwips(cmdAssociate, 120, 2520, 1215, 495);
    cmdLater = new WrappingButton(QStringLiteral("&I'll come back later!"), this);
    cmdLater->setObjectName(QStringLiteral("cmdLater"));
    placeTwips(cmdLater, 1440, 2520, 1095, 495);
    cmdStart->setDefault(true);
    for (QPushButton* b : {cmdStart, cmdWhatThe, cmdAssociate, cmdLater})
        fitCaption(b);

    setTabOrder(optWhere[0], optWhere[1]);
    setTabOrder(optWhere[1], cmdStart);
    setTabOrder(cmdStart, cmdLater);
    setTabOrder(cmdLater, cmdWhatThe);
    setTabOrder(cmdWhatThe, cmdAssociate);
    setTabOrder(cmdAssociate, optWhere[2]);
    optWhere[0]->setFocus();

    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    connect(cmdLater, &QPushButton::clicked, this, &frmMain::cmdLater_Click);
    connect(cmdWhatThe, &QPushButton::clicked, this, &frmMain::cmdWhatThe_Click);
    connect(cmdAssociate, &QPushButton::clicked, this, &frmMain::cmdAssociate_Click);
}

void frmMain::cmdStart_Click() {
    // For a moment no window is open; that must not end the program.
    const QEventLoopLocker keepRunning;
    if (optWhere[0]->isChecked()) {
        unload();
        m_ui.showDesigner();
    } else if (optWhere[1]->isChecked()) {
        unload();
        m_ui.showHtmlEditor();
    } else if (optWhere[2]->isChecked()) {
        unload();
        if (frmHTMLEditor* editor = m_ui.showHtmlEditor()) editor->mnuFileBatch_Click();
    } else {
        m_ui.session().tell(QStringLiteral("What have you done? Really? Please make a choice!"),
                            QString::fromLatin1(kAppTitle), MsgIcon::None);
    }
}

void frmMain::cmdLater_Click() {
    m_ui.session().tell(QStringLiteral("You'd better come back later, or I'll...\r\n\r\n\r\n"
                                       "Just joking! (but try to come back later anyway :)) Bye "
                                       "for now!"),
                        QString::fromLatin1(kAppTitle), MsgIcon::Information);
    unload();
    m_ui.endProgram();
}

void frmMain::cmdWhatThe_Click() {
    showAboutBox(m_ui, this);
}

void frmMain::cmdAssociate_Click() {
    const QString title = QStringLiteral("Associate Files");
    const MsgAnswer answer = m_ui.session().tell(
        QStringLiteral("This will make you be able to double click Quillane files in Explorer to "
                       "open them. Do you want to do this?"),
        title, MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes);
    if (answer != MsgAnswer::Yes) return;
    {
        // Refreshing the desktop's databases can take a moment.
        const BusyGuard busy(m_ui.session().app);
        shell::AssociateFiles();
    }
    m_ui.session().tell(QStringLiteral("Association Complete (you might need to restart for it to "
                                       "take place - just try it!)"),
                        title, MsgIcon::Information);
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    // Escape is the Associate button's key, wherever the focus is.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        cmdAssociate->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloading) {
        QDialog::closeEvent(event);
        return;
    }
    // Closed by the window manager: no editor is open yet, so the program simply ends.
    event->accept();
    m_unloading = true;
    m_ui.endProgram();
}

void frmMain::unload() {
    m_unloading = true;
    close();
}

frmMain* showStartWindow(UiSession& ui) {
    auto* w = new frmMain(ui);
    centreOnScreen(w);
    w->show();
    return w;
}

} // namespace quillane
