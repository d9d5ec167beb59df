#include "platform/storage/AppendFile.h"

#include "platform/storage/win32/FileErrors.h"

#include <algorithm>
#include <cerrno>
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
    // Shared as a file opened with open() is on Linux: others may read it,
    // and it may be renamed or removed while it is written.
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A folder answers "access denied"; say what it is instead.
        const int error = LastErrorAsErrno();
        const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return EISDIR;
        }
        return error;
    }
    m_regular = ::GetFileType(file) == FILE_TYPE_DISK;
    LARGE_INTEGER size{};
    if (m_regular && !::GetFileSizeEx(file, &size)) {
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
        if (!::WriteFile(handleOf(m_descriptor), data + written, piece, &done,
                         m_regular ? &position : nullptr)) {
            error = LastErrorAsErrno();
            break;
        }
        if (done == 0) {
            error = EIO;
            break;
        }
        written += done;
    }
    if (error == 0) {
        m_size += std::int64_t(written);
        return 0;
    }
    // What went out of a failed write is cut off again, so that the file ends
    // where it ended before; should even that fail, the part stays counted.
    if (written > 0) {
        LARGE_INTEGER end{};
        end.QuadPart = m_size;
        if (!::SetFilePointerEx(handleOf(m_descriptor), end, nullptr, FILE_BEGIN) ||
            !::SetEndOfFile(handleOf(m_descriptor))) {
            m_size += std::int64_t(written);
        }
    }
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
