#pragma once
// Whole-file reads and writes for small configuration files. A write never
// leaves a half-written file behind: the new content goes to a temporary file
// in the same folder, is flushed to the disk, and then replaces the old file
// in one rename (on Windows ReplaceFileW), so a crash or power cut leaves
// either the old or the new file. Failures are errno values on both systems.

#include <QByteArray>
#include <QString>
#include <cstddef>

struct FileReadResult {
    /// 0 on success, ENOENT when the file does not exist, EFBIG when it is
    /// larger than the limit, otherwise the errno of the failing call.
    int error = 0;
    QByteArray content;
};

/// Reads a whole file of at most maximumSize bytes.
FileReadResult readWholeFile(const QString& path, std::size_t maximumSize);

/// Replaces the file at path with content atomically. Returns 0 or the errno
/// of the failing call; on failure the old file is untouched. When path is a
/// symbolic link, the file it leads to is replaced and the link stays.
int writeFileAtomically(const QString& path, const QByteArray& content);

/// Whether writeFileAtomically could replace the file at path now: path is
/// no folder and a temporary file can be made beside the file it replaces.
/// That temporary file is removed again; path itself is left as it is.
/// Returns 0 or the errno.
int checkAtomicWrite(const QString& path);

/// Removes temporary files that writeFileAtomically left beside path when
/// its process died mid-write. Only safe while holding the lock that every
/// writer of path takes, so that no live write is mistaken for a leftover.
void removeLeftoverTemporaries(const QString& path);

/// Creates the folder and its parents when missing. Returns 0 or an errno.
int makeFolderPath(const QString& path);

/// Holds an exclusive advisory lock on a lock file for as long as it lives, so
/// that processes updating the same file take turns.
class FileLock {
public:
    explicit FileLock(const QString& lockPath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// 0 when the lock is held, otherwise the errno of the failing call.
    int error() const { return m_error; }

private:
    int m_descriptor = -1;
    int m_error = 0;
};
