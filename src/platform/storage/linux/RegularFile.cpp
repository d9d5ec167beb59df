#include "platform/storage/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OpenedRegularFile openRegularFileForReading(const QString& path) {
    OpenedRegularFile result;
    // O_NONBLOCK keeps the opening of a FIFO from waiting for a writer; it
    // changes nothing for a regular file, whose reads never wait anyway.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        result.error = errno;
        const bool missing = result.error == ENOENT || result.error == ENOTDIR;
        result.outcome =
            missing ? OpenedRegularFile::Outcome::Missing : OpenedRegularFile::Outcome::Refused;
        return result;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        result.error = errno;
        result.outcome = OpenedRegularFile::Outcome::Refused;
        ::close(descriptor);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.outcome = OpenedRegularFile::Outcome::NotRegular;
        ::close(descriptor);
        return result;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        result.error = EBADF;
        result.outcome = OpenedRegularFile::Outcome::Refused;
        ::close(descriptor);
        return result;
    }
    result.outcome = OpenedRegularFile::Outcome::Opened;
    result.file = std::move(file);
    return result;
}
