// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/version.h"

#include <QDialog>

class QFrame;
class QLabel;
class QTimer;

namespace quillane {

// "Version 0.1.2": the splash's version text, built from the version record.
QString versionCaption(const VersionRecord& version);

// frmSplash: shown over the start window while the program starts. It closes itself on its
// timer, one second after loading, and on nothing else.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    QFrame* fraMainFrame;
    QLabel* lblCompanyProduct;
    QLabel* lblProductName;
    QFrame* Line1;
    QLabel* lblPlatform;
    QLabel* lblVersion;
    QLabel* lblCopyright;
    QLabel* lblWebsite;
    QTimer* Timer1;

    void Form_Load();
    void Timer1_Timer();

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_timedOut = false;
};

} // namespace quillane
