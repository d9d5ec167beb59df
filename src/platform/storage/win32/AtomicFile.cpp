#include "platform/storage/AtomicFile.h"

#include "platform/storage/AppendFile.h"
#include "platform/storage/win32/FileErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <windows.h>

// The new content goes to a temporary file beside the old one, is flushed to
// the disk, and then takes the old file's place: ReplaceFileW where there is
// an old file (it keeps the old file's attributes and permissions, as the
// Linux twin keeps the mode), MoveFileExW where there is none.

namespace {

constexpr int kTemporaryNameTries = 100;
constexpr char kTemporaryLetters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The file a write replaces. A settings file that is a link stays a link: the
// file it leads to is replaced, in its own folder.
QFileInfo replacedFile(const QString& path) {
    const QFileInfo given(path);
    if (!given.isSymbolicLink())
        return given;
    const QString resolved = given.canonicalFilePath();
    // A link whose file does not exist yet leads to where it will be made.
    return QFileInfo(resolved.isEmpty() ? given.symLinkTarget() : resolved);
}

// Six letters or digits after ".tmp-", as the Linux twin's mkostemp makes them.
QString temporaryName(const QString& target) {
    QString name = target + QStringLiteral(".tmp-");
    for (int index = 0; index < 6; ++index) {
        const auto pick = QRandomGenerator::global()->bounded(int(sizeof kTemporaryLetters) - 1);
        name += QLatin1Char(kTemporaryLetters[pick]);
    }
    return name;
}

int closeKeepingError(HANDLE file, int error) {
    if (!::CloseHandle(file) && error == 0)
        return LastErrorAsErrno();
    return error;
}

} // namespace

FileReadResult readWholeFile(const QString& path, std::size_t maximumSize) {
    FileReadResult result;
    // A port or a pipe given as a settings file is refused unopened, as the
    // Linux twin refuses anything but a regular file without blocking.
    if (NamesADevice(path)) {
        result.error = EINVAL;
        return result;
    }
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = LastErrorAsErrno();
        return result;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        result.error = closeKeepingError(file, EINVAL);
        return result;
    }
    if (!::GetFileInformationByHandle(file, &information)) {
        result.error = closeKeepingError(file, LastErrorAsErrno());
        return result;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.error = closeKeepingError(file, EISDIR);
        return result;
    }
    // Read in chunks up to one byte past the limit, so a file that grows while
    // being read is caught as well as one that was too large to begin with.
    char chunk[16384];
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file, chunk, sizeof chunk, &count, nullptr)) {
            result.error = closeKeepingError(file, LastErrorAsErrno());
            result.content.clear();
            return result;
        }
        if (count == 0)
            break;
        result.content.append(chunk, qsizetype(count));
        if (static_cast<std::size_t>(result.content.size()) > maximumSize) {
            result.error = closeKeepingError(file, EFBIG);
            result.content.clear();
            return result;
        }
    }
    result.error = closeKeepingError(file, 0);
    return result;
}

int writeFileAtomically(const QString& path, const QByteArray& content) {
    const QFileInfo target = replacedFile(path);
    const QString targetPath = target.absoluteFilePath();
    QString temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kTemporaryNameTries && file == INVALID_HANDLE_VALUE;
         ++attempt) {
        temporary = temporaryName(targetPath);
        file = ::CreateFileW(WidePath(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return LastErrorAsErrno();
    }
    if (file == INVALID_HANDLE_VALUE)
        return EEXIST;
    std::size_t written = 0;
    int error = writeAllBytes(int(::HandleToLong(file)), content.constData(),
                              std::size_t(content.size()), written);
    if (error == 0 && !::FlushFileBuffers(file))
        error = LastErrorAsErrno();
    error = closeKeepingError(file, error);
    if (error == 0) {
        const std::wstring from = WidePath(temporary);
        const std::wstring to = WidePath(targetPath);
        // The new file takes the old one's attributes (hidden, say), as the
        // Linux twin keeps the mode; ReplaceFileW does too, but Wine's not.
        // A read-only old file stays read-only by refusing the write.
        const DWORD kept = ::GetFileAttributesW(to.c_str());
        if (kept != INVALID_FILE_ATTRIBUTES && (kept & FILE_ATTRIBUTE_DIRECTORY) == 0)
            ::SetFileAttributesW(from.c_str(),
                                 kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
        // ReplaceFileW needs the old file; a first save has none, and the old
        // file may also go between the look and the replacement.
        const bool replaced = ::ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        if (!replaced) {
            const DWORD failure = ::GetLastError();
            const bool noOldFile =
                failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND;
            if (!noOldFile || !::MoveFileExW(from.c_str(), to.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                error = noOldFile ? LastErrorAsErrno() : ErrnoOfWindowsError(failure);
        }
    }
    if (error != 0) {
        ::DeleteFileW(WidePath(temporary).c_str());
        return error;
    }
    return 0;
}

int checkAtomicWrite(const QString& path) {
    const QFileInfo target = replacedFile(path);
    if (target.isDir())
        return EISDIR;
    if (NamesADevice(target.absoluteFilePath()))
        return EINVAL;
    // The same kind of temporary file as a write makes, removed as it closes.
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const HANDLE file =
            ::CreateFileW(WidePath(temporaryName(target.absoluteFilePath())).c_str(), GENERIC_WRITE,
                          0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return closeKeepingError(file, 0);
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return LastErrorAsErrno();
    }
    return EEXIST;
}

void removeLeftoverTemporaries(const QString& path) {
    const QFileInfo target = replacedFile(path);
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.tmp-[A-Za-z0-9]{6}")));
    QDir folder = target.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (leftover.match(name).hasMatch())
            folder.remove(name);
}

int makeFolderPath(const QString& path) {
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    const DWORD attributes = ::GetFileAttributesW(WidePath(absolute).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute) {
        if (const int error = makeFolderPath(parent); error != 0)
            return error;
    }
    if (::CreateDirectoryW(WidePath(absolute).c_str(), nullptr) ||
        ::GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    return LastErrorAsErrno();
}

FileLock::FileLock(const QString& lockPath) {
    const HANDLE file = ::CreateFileW(WidePath(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_error = LastErrorAsErrno();
        return;
    }
    // Waits for the lock as flock(LOCK_EX) does; the whole range stands for
    // the file.
    OVERLAPPED whole{};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        m_error = LastErrorAsErrno();
        ::CloseHandle(file);
        return;
    }
    m_descriptor = int(::HandleToLong(file));
}

FileLock::~FileLock() {
    // Closing the handle releases the lock.
    if (m_descriptor >= 0)
        ::CloseHandle(::LongToHandle(m_descriptor));
}
