#include "platform/storage/AtomicFile.h"

#include "platform/storage/AppendFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kFileMode = 0644;

int closeKeepingError(int descriptor, int error) {
    if (::close(descriptor) != 0 && error == 0)
        return errno;
    return error;
}

// The rename only becomes durable once the folder's own entry list is on disk.
void syncFolder(const QByteArray& folder) {
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// The file a write replaces. A settings file that is a link (into a folder of
// dotfiles, say) stays a link: the file it leads to is replaced, in its own
// folder, instead of the link being swapped for a plain file.
QFileInfo replacedFile(const QString& path) {
    const QFileInfo given(path);
    if (!given.isSymLink())
        return given;
    const QString resolved = given.canonicalFilePath();
    // A link whose file does not exist yet leads to where it will be made.
    return QFileInfo(resolved.isEmpty() ? given.symLinkTarget() : resolved);
}

} // namespace

FileReadResult readWholeFile(const QString& path, std::size_t maximumSize) {
    FileReadResult result;
    const QByteArray encoded = QFile::encodeName(path);
    // O_NONBLOCK keeps a FIFO or device given as a settings file from blocking
    // the open; anything but a regular file is refused below.
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        result.error = errno;
        return result;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        result.error = closeKeepingError(descriptor, errno);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.error = closeKeepingError(descriptor, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
        return result;
    }
    // Read in chunks up to one byte past the limit, so a file that grows while
    // being read is caught as well as one that was too large to begin with.
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            result.error = closeKeepingError(descriptor, errno);
            result.content.clear();
            return result;
        }
        if (count == 0)
            break;
        result.content.append(chunk, count);
        if (static_cast<std::size_t>(result.content.size()) > maximumSize) {
            result.error = closeKeepingError(descriptor, EFBIG);
            result.content.clear();
            return result;
        }
    }
    result.error = closeKeepingError(descriptor, 0);
    return result;
}

int writeFileAtomically(const QString& path, const QByteArray& content) {
    const QFileInfo target = replacedFile(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    QByteArray pattern = QFile::encodeName(target.absoluteFilePath()) + ".tmp-XXXXXX";
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat existing {};
    const mode_t mode =
        ::stat(QFile::encodeName(target.absoluteFilePath()).constData(), &existing) == 0
            ? (existing.st_mode & 07777)
            : kFileMode;
    int error = 0;
    if (::fchmod(descriptor, mode) != 0)
        error = errno;
    std::size_t written = 0;
    if (error == 0)
        error =
            writeAllBytes(descriptor, content.constData(), std::size_t(content.size()), written);
    if (error == 0 && ::fsync(descriptor) != 0)
        error = errno;
    error = closeKeepingError(descriptor, error);
    if (error == 0 && ::rename(pattern.constData(),
                               QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(pattern.constData());
        return error;
    }
    syncFolder(folder);
    return 0;
}

int checkAtomicWrite(const QString& path) {
    const QFileInfo target = replacedFile(path);
    if (target.isDir())
        return EISDIR;
    QByteArray pattern = QFile::encodeName(target.absoluteFilePath()) + ".tmp-XXXXXX";
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    ::close(descriptor);
    ::unlink(pattern.constData());
    return 0;
}

void removeLeftoverTemporaries(const QString& path) {
    const QFileInfo target = replacedFile(path);
    // mkostemp replaces the six X of the pattern with letters and digits.
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.tmp-[A-Za-z0-9]{6}")));
    QDir folder = target.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        if (leftover.match(name).hasMatch())
            folder.remove(name);
}

int makeFolderPath(const QString& path) {
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(path).toStdString(), error);
    return error ? error.value() : 0;
}

FileLock::FileLock(const QString& lockPath) {
    const QByteArray encoded = QFile::encodeName(lockPath);
    m_descriptor = ::open(encoded.constData(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    if (m_descriptor < 0) {
        m_error = errno;
        return;
    }
    while (::flock(m_descriptor, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        m_error = errno;
        ::close(m_descriptor);
        m_descriptor = -1;
        return;
    }
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock.
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}
