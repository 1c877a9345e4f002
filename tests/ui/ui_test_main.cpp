// SPDX-License-Identifier: GPL-3.0-or-later
// One QApplication for every window test, offscreen, with the home and XDG folders in a
// temporary folder of their own: nothing a test does reaches the real ones.

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#ifdef _WIN32
#include "ui_fixture.h"
#endif

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(var, home.filePath(QString::fromLatin1(var)).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    // Also when the test list is read at build time, outside the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef _WIN32
    // Offscreen on Windows, Qt knows only the faces of one folder, none unless told: the
    // system's, which the windows themselves use, so that text is measured as it is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", qgetenv("WINDIR") + "\\Fonts");
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    if (!quillane::test::useOwnClassesRoot()) return 1; // before anything could register
    const int status = RUN_ALL_TESTS();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, quillane::test::ownClassesRoot().c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillane tests"); // unless another run uses it
    return status;
#else
    return RUN_ALL_TESTS();
#endif
}
