#include "platform/storage/win32/FileErrors.h"

#include <QDir>
#include <QRegularExpression>
#include <cerrno>
#include <windows.h>

int ErrnoOfWindowsError(unsigned long code) {
    switch (code) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

int LastErrorAsErrno() {
    return ErrnoOfWindowsError(::GetLastError());
}

std::wstring WidePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

bool NamesADevice(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QStringLiteral("\\\\.\\"))) {
        return true;
    }
    // "\\?\C:\..." and "\\?\UNC\..." are files; any other long name is
    // an object of the system's own.
    static const QRegularExpression longFileName(
        QStringLiteral("^\\\\\\\\\\?\\\\([A-Za-z]:|UNC)\\\\"));
    if (native.startsWith(QStringLiteral("\\\\?\\")) && !longFileName.match(native).hasMatch()) {
        return true;
    }
    static const QRegularExpression reserved(
        QStringLiteral("^(CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString name = native.mid(native.lastIndexOf(QLatin1Char('\\')) + 1);
    return reserved.match(name.trimmed()).hasMatch();
}
