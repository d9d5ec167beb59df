#include "platform/storage/AppendFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kFileMode = 0644;

} // namespace

int writeAllBytes(int descriptor, const char* data, std::size_t count, std::size_t& written) {
    written = 0;
    while (written < count) {
        const ssize_t done = ::write(descriptor, data + written, count - written);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        written += std::size_t(done);
    }
    return 0;
}

AppendFile::~AppendFile() {
    close();
}

int AppendFile::open(const QString& path) {
    close();
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK keeps a FIFO from holding the opening up until a reader
    // comes (one without a reader refuses with ENXIO); it changes nothing for
    // a regular file, whose writes never wait anyway.
    const int descriptor =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
               kFileMode);
    if (descriptor < 0) {
        return errno == ENXIO ? NotARegularFile : errno;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        const int error = errno;
        ::close(descriptor);
        return error;
    }
    // A record in a pipe or on a device could neither be limited nor kept.
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return NotARegularFile;
    }
    m_descriptor = descriptor;
    m_size = status.st_size;
    return 0;
}

int AppendFile::write(const char* data, std::size_t count) {
    if (m_descriptor < 0) {
        return EBADF;
    }
    std::size_t written = 0;
    const int error = writeAllBytes(m_descriptor, data, count, written);
    // What went out of a failed write is cut back to its last whole line;
    // should even that fail, the part stays counted.
    std::size_t kept = written;
    if (error != 0) {
        const std::string_view out(data, written);
        const std::size_t lastLineEnd = out.rfind('\n');
        kept = lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1;
        if (kept < written && ::ftruncate(m_descriptor, m_size + std::int64_t(kept)) != 0) {
            kept = written;
        }
    }
    m_size += std::int64_t(kept);
    return error;
}

int AppendFile::close() {
    if (m_descriptor < 0) {
        return 0;
    }
    const int result = ::close(m_descriptor);
    m_descriptor = -1;
    return result == 0 ? 0 : errno;
}

int renameFile(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? 0
               : errno;
}

int removeFile(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) {
        return 0;
    }
    return errno;
}

std::int64_t regularFileSize(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return -1;
    }
    return status.st_size;
}

namespace {

// Where a path leads once every link on the way is followed; for a file not
// there yet, its folder's real place and its name.
QString resolvedPath(const QString& path, int linksLeft = 40) {
    const QFileInfo info(path);
    if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty()) {
        return canonical;
    }
    // A link to a file not made yet leads to where it will be made.
    if (info.isSymLink() && linksLeft > 0) {
        return resolvedPath(info.symLinkTarget(), linksLeft - 1);
    }
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

bool sameFile(const QString& first, const QString& second) {
    struct stat one {};
    struct stat other {};
    if (::stat(QFile::encodeName(first).constData(), &one) == 0 &&
        ::stat(QFile::encodeName(second).constData(), &other) == 0) {
        return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
    }
    return resolvedPath(first) == resolvedPath(second);
}
