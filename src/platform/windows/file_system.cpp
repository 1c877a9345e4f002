// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_system.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L // not in every SDK's headers
#endif

namespace quillane::platform {

namespace {

std::wstring wide(const QByteArray& path) {
    return QString::fromUtf8(path).toStdWString();
}

SystemError fromWin32(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        // A folder on the way that is not there is what ENOENT says elsewhere: the caller may
        // make it. (A file on the way answers ERROR_DIRECTORY.)
        return {Failure::NotFound, {}};
    case ERROR_DIRECTORY:
        return {Failure::NotFolder, {}};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {Failure::PermissionDenied, {}};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return {Failure::NoSpace, {}};
    case ERROR_DISK_QUOTA_EXCEEDED:
        return {Failure::QuotaExceeded, {}};
    case ERROR_WRITE_PROTECT:
        return {Failure::ReadOnlyFileSystem, {}};
    case ERROR_FILENAME_EXCED_RANGE:
        return {Failure::NameTooLong, {}};
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return {Failure::OutOfMemory, {}};
    default: {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        QString description =
            text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(err);
        if (text) LocalFree(text);
        return {Failure::Other, description};
    }
    }
}

bool failed(SystemError& error, DWORD err = GetLastError()) {
    error = fromWin32(err);
    return false;
}

// The names Windows keeps for devices, in any folder and with any extension: CON, PRN, AUX,
// NUL, COM1-9, LPT1-9 ("nul.htm" is the null device too).
bool reservedName(const QByteArray& path) {
    const qsizetype slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    QByteArray name = path.mid(slash + 1).toUpper();
    const qsizetype dot = name.indexOf('.');
    if (dot >= 0) name.truncate(dot);
    while (name.endsWith(' '))
        name.chop(1);
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" ||
        name == "CONOUT$")
        return true;
    return name.size() == 4 && (name.startsWith("COM") || name.startsWith("LPT")) &&
           name[3] >= '1' && name[3] <= '9';
}

// Nanoseconds since 1970, as on POSIX: counted from 1601, as Windows counts, they no longer fit
// in 64 bits after 1893.
qint64 fileTimeNs(qint64 ticks) {
    constexpr qint64 k1601To1970 = 116444736000000000; // in 100 ns ticks
    return (ticks - k1601To1970) * 100;
}

qint64 fileTimeNs(const FILETIME& t) {
    return fileTimeNs(qint64((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime));
}

FileFacts factsOf(HANDLE h, const BY_HANDLE_FILE_INFORMATION& info, DWORD type) {
    FileFacts f;
    if (type == FILE_TYPE_CHAR)
        f.kind = FileKind::Device;
    else if (type == FILE_TYPE_PIPE)
        f.kind = FileKind::Fifo;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        f.kind = FileKind::Folder;
    else
        f.kind = FileKind::Regular;
    f.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    f.device = info.dwVolumeSerialNumber;
    f.inode = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    f.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    f.modifiedNs = fileTimeNs(info.ftLastWriteTime);
    // The change time moves with a rename over the file or a change of its attributes too.
    FILE_BASIC_INFO basic{};
    f.changedNs = GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)
                      ? fileTimeNs(basic.ChangeTime.QuadPart)
                      : f.modifiedNs;
    f.writable = !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    return f;
}

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit Handle(HANDLE handle) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

// Opens to look, never to read or write: a device or pipe is not touched.
HANDLE openToLook(const QByteArray& path, bool followLinks) {
    return CreateFileW(
        wide(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
}

// Whether a file stands where the path needs a folder (a.htm\x), which Windows reports as a
// path not found, as it does a missing folder.
bool fileOnTheWay(QByteArray path) {
    for (;;) {
        const qsizetype cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
        if (cut <= 0) return false;
        path.truncate(cut);
        const DWORD attributes = GetFileAttributesW(wide(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        const DWORD err = GetLastError();
        if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) return false;
    }
}

bool look(const QByteArray& path, bool followLinks, FileFacts& facts, SystemError& error) {
    // Opening one would open the device, in any folder: refused by its name alone.
    if (reservedName(path)) {
        error = {Failure::ReservedName, {}};
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = GetLastError();
        if (err == ERROR_PATH_NOT_FOUND && fileOnTheWay(path))
            return failed(error, ERROR_DIRECTORY);
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
            facts = FileFacts();
            return true;
        }
        return failed(error, err);
    }
    if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        facts = FileFacts();
        facts.kind = FileKind::Link;
        return true;
    }
    Handle h(openToLook(path, followLinks));
    if (!h.ok()) {
        const DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND) { // a link to nothing
            facts = FileFacts();
            return true;
        }
        return failed(error, err);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.h, &info)) return failed(error);
    facts = factsOf(h.h, info, GetFileType(h.h));
    return true;
}

std::atomic<unsigned> g_counter = 0;

bool renamePosix(const std::wstring& from, const std::wstring& to, bool durable) {
    Handle h(CreateFileW(from.c_str(), DELETE | SYNCHRONIZE | (durable ? GENERIC_WRITE : 0),
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr));
    if (!h.ok()) return false;
    if (durable) FlushFileBuffers(h.h);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (to.size() + 1) * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // Where ReplaceIfExists is, Windows 10 reads flags: replace, as POSIX does (these and the
    // class below are Windows 10's, which older SDK headers leave out).
    const DWORD flags = 0x1 | 0x2; // FILE_RENAME_FLAG_REPLACE_IF_EXISTS | _POSIX_SEMANTICS
    std::memcpy(buffer.data(), &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(to.size() * sizeof(wchar_t));
    std::copy(to.begin(), to.end(), info->FileName);
    info->FileName[to.size()] = 0;
    constexpr auto kFileRenameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22);
    return SetFileInformationByHandle(h.h, kFileRenameInfoEx, info, DWORD(buffer.size()));
}

} // namespace

QByteArray encodePath(const QString& path) {
    return path.toUtf8();
}

QString decodePath(const QByteArray& path) {
    return QString::fromUtf8(path);
}

QString sameFileKey(const QString& path) {
    return path.toCaseFolded();
}

bool lookAt(const QByteArray& path, bool followLinks, FileFacts& facts, SystemError& error) {
    return look(path, followLinks, facts, error);
}

bool readRegularFile(const QByteArray& path, qint64 limit, QByteArray& bytes, FileFacts& seen,
                     SystemError& error) {
    if (!look(path, true, seen, error)) return false;
    if (seen.kind == FileKind::Missing) return failed(error, ERROR_FILE_NOT_FOUND);
    if (seen.kind != FileKind::Regular) {
        error = {seen.kind == FileKind::Folder ? Failure::IsFolder : Failure::NotAFile, {}};
        return false;
    }
    if (seen.size > limit) {
        error = {Failure::TooLarge, {}};
        return false;
    }
    Handle h(CreateFileW(wide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.ok()) return failed(error);
    if (GetFileType(h.h) != FILE_TYPE_DISK) {
        error = {Failure::NotAFile, {}};
        return false;
    }
    bytes.resize(qsizetype(seen.size) + 1);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > limit) break;
            bytes.resize(std::min<qsizetype>(qsizetype(limit) + 1, 2 * got + 65536));
        }
        DWORD n = 0;
        if (!ReadFile(h.h, bytes.data() + got, DWORD(bytes.size() - got), &n, nullptr))
            return failed(error);
        if (n == 0) break;
        got += n;
    }
    if (got > limit) {
        error = {Failure::TooLarge, {}};
        return false;
    }
    bytes.truncate(got);
    return true;
}

bool readStart(const QByteArray& path, qsizetype count, QByteArray& bytes, SystemError& error) {
    Handle h(CreateFileW(wide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.ok()) return failed(error);
    if (GetFileType(h.h) != FILE_TYPE_DISK) {
        error = {Failure::NotAFile, {}};
        return false;
    }
    bytes.resize(count);
    qsizetype got = 0;
    while (got < count) {
        DWORD n = 0;
        if (!ReadFile(h.h, bytes.data() + got, DWORD(count - got), &n, nullptr))
            return failed(error);
        if (n == 0) break;
        got += n;
    }
    bytes.truncate(got);
    return true;
}

bool resolveLinks(const QByteArray& path, QByteArray& real, SystemError& error) {
    Handle h(openToLook(path, true));
    if (!h.ok()) {
        const DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND) {
            error = {Failure::DanglingLink, {}};
            return false;
        }
        return failed(error, err);
    }
    wchar_t buffer[32768];
    const DWORD n = GetFinalPathNameByHandleW(h.h, buffer, DWORD(std::size(buffer)),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= std::size(buffer)) return failed(error);
    QString name = QString::fromWCharArray(buffer, int(n));
    // "\\?\C:\x" is C:\x; "\\?\UNC\server\share" is \\server\share.
    if (name.startsWith(QLatin1String("\\\\?\\UNC\\")))
        name = QLatin1String("\\\\") + name.mid(8);
    else if (name.startsWith(QLatin1String("\\\\?\\")))
        name = name.mid(4);
    real = name.toUtf8();
    return true;
}

NewFile::NewFile(NewFile&& other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_handle(std::exchange(other.m_handle, -1)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_path = std::exchange(other.m_path, {});
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

NewFile::~NewFile() {
    discard();
}

bool NewFile::create(const QByteArray& folder, const FileFacts* replacing, SystemError& error) {
    discard();
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_path = folder + ".quillane-" + QByteArray::number(qint64(GetCurrentProcessId())) + '-' +
                 QByteArray::number(g_counter++) + ".tmp";
        h = CreateFileW(wide(m_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        m_path.clear();
        return failed(error);
    }
    m_handle = qintptr(h);
    Q_UNUSED(replacing); // the attributes that matter here (read-only) refuse a write earlier
    return true;
}

bool NewFile::write(const QByteArray& bytes, SystemError& error) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD n = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        if (!WriteFile(HANDLE(m_handle), data, chunk, &n, nullptr)) return failed(error);
        data += n;
        left -= n;
    }
    return true;
}

bool NewFile::flushToDisk(SystemError& error) {
    return FlushFileBuffers(HANDLE(m_handle)) || failed(error);
}

void NewFile::startWriteback() {}

bool NewFile::close(SystemError& error) {
    const HANDLE h = HANDLE(std::exchange(m_handle, -1));
    return h == INVALID_HANDLE_VALUE || CloseHandle(h) || failed(error);
}

bool NewFile::replace(const QByteArray& target, bool durable, SystemError& error) {
    if (m_handle != -1 && !close(error)) return false;
    // Replaces in one step, as rename does elsewhere: the old file is never written to, and
    // whoever has it open keeps reading it whole. A virus scanner or indexer that has just
    // opened the target, without letting it be replaced meanwhile, is waited for a little.
    const std::wstring from = wide(m_path), to = wide(target);
    // Windows 10 and later replace as POSIX does, also a file that someone holds open (who
    // lets it be deleted); older systems refuse that, and MoveFileEx is left.
    if (renamePosix(from, to, durable)) {
        m_path.clear();
        return true;
    }
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), flags)) break;
        const DWORD err = GetLastError();
        const bool inUse = err == ERROR_SHARING_VIOLATION || err == ERROR_ACCESS_DENIED ||
                           err == ERROR_LOCK_VIOLATION;
        if (!inUse) return failed(error, err);
        if (attempt == 20) {
            // The new file was made beside it, so the folder is not what refuses.
            error = {Failure::Other, QStringLiteral("another program holds the file open, or it "
                                                    "is read-only: close it there, or make it "
                                                    "writable, and build again")};
            return false;
        }
        Sleep(25);
    }
    m_path.clear();
    return true;
}

void NewFile::discard() {
    if (m_handle != -1) CloseHandle(HANDLE(std::exchange(m_handle, -1)));
    if (!m_path.isEmpty()) DeleteFileW(wide(std::exchange(m_path, {})).c_str());
}

bool removeFile(const QByteArray& path) {
    return DeleteFileW(wide(path).c_str());
}

bool listFolder(const QByteArray& folder, std::vector<FolderEntry>& entries, SystemError& error) {
    entries.clear();
    QByteArray pattern = folder.isEmpty() ? QByteArray(".") : folder;
    if (!pattern.endsWith('/') && !pattern.endsWith('\\')) pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW(wide(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND) return true; // an empty drive
        if (err == ERROR_DIRECTORY) return failed(error, ERROR_PATH_NOT_FOUND);
        return failed(error, err);
    }
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
        FolderEntry e;
        e.name = name.toUtf8();
        e.hidden = name.startsWith(u'.') || (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ||
                   (found.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM);
        e.link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        e.kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder
                                                                     : FileKind::Regular;
        if (e.link) {
            FileFacts facts;
            SystemError ignored;
            QByteArray full = folder;
            if (!full.isEmpty() && !full.endsWith('/') && !full.endsWith('\\')) full += '\\';
            if (look(full + e.name, true, facts, ignored)) e.kind = facts.kind;
        }
        entries.push_back(std::move(e));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return true;
}

qint64 currentProcess() {
    return qint64(GetCurrentProcessId());
}

bool processRuns(qint64 process) {
    if (process <= 0) return false;
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(process));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED; // it runs, as someone else
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

quint32 currentUser() {
    return 0;
}

} // namespace quillane::platform
