#include "platform/storage/RegularFile.h"

#include "platform/storage/win32/FileErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

OpenedRegularFile openRegularFileForReading(const QString& path) {
    OpenedRegularFile result;
    // A port, a pipe or a device name is no file; opening one would claim it.
    if (NamesADevice(path)) {
        result.outcome = OpenedRegularFile::Outcome::NotRegular;
        return result;
    }
    // The backup flag lets a folder open too, so that it is
    // told apart from a file that may not be read.
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = LastErrorAsErrno();
        result.outcome = result.error == ENOENT ? OpenedRegularFile::Outcome::Missing
                                                : OpenedRegularFile::Outcome::Refused;
        return result;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool disk = ::GetFileType(file) == FILE_TYPE_DISK;
    if (!disk || !::GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.outcome = OpenedRegularFile::Outcome::NotRegular;
        ::CloseHandle(file);
        return result;
    }
    // QFile takes the C library's descriptor of the handle, and closes both.
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY);
    if (descriptor < 0) {
        result.error = EMFILE;
        result.outcome = OpenedRegularFile::Outcome::Refused;
        ::CloseHandle(file);
        return result;
    }
    auto opened = std::make_unique<QFile>();
    if (!opened->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        result.error = EBADF;
        result.outcome = OpenedRegularFile::Outcome::Refused;
        ::_close(descriptor);
        return result;
    }
    result.outcome = OpenedRegularFile::Outcome::Opened;
    result.file = std::move(opened);
    return result;
}
