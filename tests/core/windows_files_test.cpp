// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Windows: device names, a page replaced while someone reads the old one, drive and
// network paths, folder notices and Ctrl+C. Built into build_tests on Windows only.

#include "formats/document_file.h"
#include "formats/file_write.h"
#include "formats/text_file.h"
#include "platform/console.h"
#include "platform/folder_watch.h"
#include "support/files.h"

#include <QDir>
#include <QElapsedTimer>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace quillane;
using namespace quillane::test;

namespace {

HANDLE openShared(const QString& path, DWORD share) {
    return CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                       GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

quint64 fileIndex(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(h, &info);
    return (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

QString written(const QString& path, const QByteArray& bytes) {
    FileError e;
    switch (writeFileAtomically(path, bytes, WriteMode::Page, e)) {
    case WriteOutcome::Written:
        return "written";
    case WriteOutcome::Unchanged:
        return "unchanged";
    default:
        return QString::number(e.number) + ' ' + e.description;
    }
}

} // namespace

// Windows opens the device for CON, NUL, COM1 and the like in any folder and with any
// extension: such a name is refused for reading and for writing, and nothing is left behind.
TEST(WindowsFiles, DeviceNamesAreRefusedWhereverTheyAre) {
    QTemporaryDir dir;
    const QString reserved = "75 Path/File access error: the name is reserved for a device";
    for (const QString name :
         {"NUL", "con.qtf", "COM1", "lpt9.htm", "Aux.html", "nul .htm", "CONOUT$"}) {
        const QString path = dir.filePath(name);
        QByteArray bytes;
        FileError e;
        EXPECT_FALSE(readFileBytes(path, bytes, e)) << name.toStdString();
        EXPECT_EQ(QString::number(e.number) + ' ' + e.description, reserved) << name.toStdString();
        EXPECT_EQ(written(path, "<p>page</p>"), reserved) << name.toStdString();
    }
    // Names that only look like them are plain files.
    for (const QString name : {"console.htm", "com10.htm", "nul-page.htm", "lpt.htm"})
        EXPECT_EQ(written(dir.filePath(name), "x"), "written") << name.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4)
        << "no temporary file left";
}

// A page is always a new file moved over the old one: the new page is another file, a page
// with the same bytes is not written again, a read-only page is refused, and a page held by a
// program that lets nobody replace it stays whole.
TEST(WindowsFiles, APageIsANewFileMovedOverTheOldOne) {
    QTemporaryDir dir;
    const QString page = writeFile(dir, "index.htm", "old page");
    HANDLE h = openShared(page, FILE_SHARE_READ);
    const quint64 oldIndex = fileIndex(h);
    CloseHandle(h);
    EXPECT_EQ(written(page, "new page"), "written");
    EXPECT_EQ(readBytes(page), "new page");
    h = openShared(page, FILE_SHARE_READ);
    EXPECT_NE(fileIndex(h), oldIndex);
    CloseHandle(h);

    const QDateTime before = QFileInfo(page).lastModified();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(written(page, "new page"), "unchanged");
    EXPECT_EQ(QFileInfo(page).lastModified(), before);

    // Written with backslashes, as Windows users type paths.
    EXPECT_EQ(written(QDir::toNativeSeparators(dir.filePath("b.htm")), "b"), "written");
    EXPECT_EQ(readBytes(dir.filePath("b.htm")), "b");

    QFile::setPermissions(page, QFileDevice::ReadOwner);
    EXPECT_EQ(written(page, "third"), "70 Permission denied: the file is read-only");
    QFile::setPermissions(page, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const HANDLE holder = openShared(page, FILE_SHARE_READ);
    EXPECT_NE(written(page, "fourth"), "written");
    CloseHandle(holder);
    EXPECT_EQ(readBytes(page), "new page");
    EXPECT_EQ(QDir(dir.path()).entryList({".quillane-*"}, QDir::Files | QDir::Hidden).size(), 0);
}

// A reader that holds the old page and lets it be deleted (a web server) reads it whole to the
// end while the new page takes its name (Windows 10 and later).
TEST(WindowsFiles, AReaderOfTheOldPageReadsItWhole) {
    QTemporaryDir dir;
    const QString page = writeFile(dir, "index.htm", "old page");
    const HANDLE reader = openShared(page, FILE_SHARE_READ | FILE_SHARE_DELETE);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const QString result = written(page, "new page");
    char buffer[32] = {};
    DWORD n = 0;
    ReadFile(reader, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(reader);
    EXPECT_EQ(QByteArray(buffer, int(n)), "old page");
    EXPECT_EQ(QDir(dir.path()).entryList({".quillane-*"}, QDir::Files | QDir::Hidden).size(), 0);
    if (result != "written") {
        EXPECT_EQ(readBytes(page), "old page");
        GTEST_SKIP() << "this system does not replace a file that is held open (Wine, Windows "
                        "before 10): "
                     << result.toStdString();
    }
    EXPECT_EQ(readBytes(page), "new page");
}

// Drive letters, network paths and backslashes are full paths here, never refused; a relative
// path with backslashes is taken from the document's folder.
TEST(WindowsFiles, DriveAndNetworkPathsAndBackslashes) {
    for (const QString path : {"C:\\site\\a.htm", "c:/site/a.htm", "\\\\server\\share\\a.htm"}) {
        EXPECT_FALSE(isWindowsPath(path)) << path.toStdString();
        EXPECT_EQ(resolveStoredPath(path, "D:/docs/d.qht"), path) << path.toStdString();
    }
    EXPECT_EQ(resolveStoredPath("pages\\a.htm", "D:/docs/d.qht"), "D:/docs/pages/a.htm");
    EXPECT_EQ(resolveStoredPath("..\\out\\a.htm", "D:\\docs\\d.qht"), "D:/out/a.htm");
    EXPECT_EQ(pathToStore("D:/docs/pages/a.htm", "", "D:/docs/d.qht"), "pages/a.htm");
    EXPECT_EQ(pathToStore("E:/elsewhere/a.htm", "", "D:/docs/d.qht"), "E:/elsewhere/a.htm");
}

// A change in a watched folder wakes the wait at once; so does the folder going away.
TEST(WindowsFiles, AFolderWatchWakesForAChangeAndForTheFolderGone) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("site");
    QDir().mkpath(folder);
    platform::FolderWatch watch;
    watch.add(folder);
    EXPECT_FALSE(watch.wait(200)) << "nothing changed";
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        writeFile(dir, "site/a.qht", "x");
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(watch.wait(5000));
    EXPECT_LT(timer.elapsed(), 2000);
    writer.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    while (watch.wait(100)) {
    }
    ASSERT_TRUE(QDir(folder).removeRecursively());
    timer.restart();
    EXPECT_TRUE(watch.wait(5000));
    EXPECT_LT(timer.elapsed(), 2000);
}

// Ctrl+C reaches the batch through the console's handler, and says so in Windows' terms.
TEST(WindowsFiles, CtrlCAsksTheRunningBatchToStop) {
    platform::StopRequests stops;
    EXPECT_EQ(platform::StopRequests::pending(), 0);
    EXPECT_EQ(platform::StopRequests::name(SIGINT), "Ctrl+C");
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) GTEST_SKIP() << "no console to send Ctrl+C to";
    QElapsedTimer timer;
    timer.start();
    while (!platform::StopRequests::pending() && timer.elapsed() < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(platform::StopRequests::pending(), SIGINT);
}
