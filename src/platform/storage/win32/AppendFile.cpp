#include "platform/storage/AppendFile.h"

#include "platform/storage/win32/FileErrors.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <windows.h>

// The file's handle is kept as a number (HandleToLong), which Windows
// guarantees to round-trip for kernel handles.

namespace {

HANDLE handleOf(int descriptor) {
    return ::LongToHandle(descriptor);
}

// An offset of all ones tells WriteFile to write at the end of the file,
// wherever that is by then, as O_APPEND does.
OVERLAPPED atTheEnd() {
    OVERLAPPED position{};
    position.Offset = 0xFFFFFFFF;
    position.OffsetHigh = 0xFFFFFFFF;
    return position;
}

} // namespace

int writeAllBytes(int descriptor, const char* data, std::size_t count, std::size_t& written) {
    written = 0;
    while (written < count) {
        const DWORD piece = DWORD(std::min<std::size_t>(count - written, 1U << 30));
        DWORD done = 0;
        if (!::WriteFile(handleOf(descriptor), data + written, piece, &done, nullptr)) {
            return LastErrorAsErrno();
        }
        if (done == 0) {
            return EIO;
        }
        written += done;
    }
    return 0;
}

AppendFile::~AppendFile() {
    close();
}

int AppendFile::open(const QString& path) {
    close();
    // A name in the device space, or one that Windows takes for a device in
    // any folder, is refused before it is opened: opening a port or a pipe
    // would claim it, and a pipe's server may hold the opening up.
    if (NamesADevice(path)) {
        return NotARegularFile;
    }
    // Shared as a file opened with open() is on Linux: others may read it,
    // and it may be renamed or removed while it is written.
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD failure = ::GetLastError();
        // A pipe whose instances are all taken is still no file.
        if (failure == ERROR_PIPE_BUSY) {
            return NotARegularFile;
        }
        // A folder answers "access denied"; say what it is instead.
        const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return EISDIR;
        }
        return ErrnoOfWindowsError(failure);
    }
    // A record in a pipe or on a device could neither be limited nor kept.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        return NotARegularFile;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) {
        const int error = LastErrorAsErrno();
        ::CloseHandle(file);
        return error;
    }
    m_descriptor = int(::HandleToLong(file));
    m_size = size.QuadPart;
    return 0;
}

int AppendFile::write(const char* data, std::size_t count) {
    if (m_descriptor < 0) {
        return EBADF;
    }
    std::size_t written = 0;
    int error = 0;
    while (written < count) {
        const DWORD piece = DWORD(std::min<std::size_t>(count - written, 1U << 30));
        DWORD done = 0;
        OVERLAPPED position = atTheEnd();
        if (!::WriteFile(handleOf(m_descriptor), data + written, piece, &done, &position)) {
            // ERROR_DISK_FULL and ERROR_HANDLE_DISK_FULL both become ENOSPC.
            error = LastErrorAsErrno();
            break;
        }
        if (done == 0) {
            error = EIO;
            break;
        }
        written += done;
    }
    // What went out of a failed write is cut back to its last whole line;
    // should even that fail, the part stays counted.
    std::size_t kept = written;
    if (error != 0) {
        const std::string_view out(data, written);
        const std::size_t lastLineEnd = out.rfind('\n');
        kept = lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1;
        if (kept < written) {
            LARGE_INTEGER end{};
            end.QuadPart = m_size + std::int64_t(kept);
            if (!::SetFilePointerEx(handleOf(m_descriptor), end, nullptr, FILE_BEGIN) ||
                !::SetEndOfFile(handleOf(m_descriptor))) {
                kept = written;
            }
        }
    }
    m_size += std::int64_t(kept);
    return error;
}

int AppendFile::close() {
    if (m_descriptor < 0) {
        return 0;
    }
    const bool closed = ::CloseHandle(handleOf(m_descriptor)) != 0;
    m_descriptor = -1;
    return closed ? 0 : LastErrorAsErrno();
}

int renameFile(const QString& from, const QString& to) {
    return ::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastErrorAsErrno();
}

int removeFile(const QString& path) {
    if (::DeleteFileW(WidePath(path).c_str())) {
        return 0;
    }
    const int error = LastErrorAsErrno();
    return error == ENOENT ? 0 : error;
}

std::int64_t regularFileSize(const QString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return -1;
    }
    return (std::int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// Where a path leads once every link on the way is followed; for a file not
// there yet, its folder's real place and its name. Windows names are the
// same whatever their case.
QString resolvedPath(const QString& path, int linksLeft = 40) {
    const QFileInfo info(path);
    if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty()) {
        return canonical.toCaseFolded();
    }
    if (info.isSymLink() && linksLeft > 0) {
        return resolvedPath(info.symLinkTarget(), linksLeft - 1);
    }
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                             : folder + QLatin1Char('/') + info.fileName())
        .toCaseFolded();
}

// The volume and the file's index on it, which name a file whatever path
// (hard link, junction, short name) leads to it.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const QString& path) {
    if (NamesADevice(path)) {
        return std::nullopt;
    }
    // Opening for no access at all reads the identity of a file that others
    // hold open for writing.
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = ::GetFileInformationByHandle(file, &information) != 0;
    ::CloseHandle(file);
    if (!known) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                        information.nFileIndexLow};
}

} // namespace

bool sameFile(const QString& first, const QString& second) {
    const std::optional<FileIdentity> one = identityOf(first);
    const std::optional<FileIdentity> other = identityOf(second);
    if (one && other) {
        return *one == *other;
    }
    return resolvedPath(first) == resolvedPath(second);
}
