#pragma once
// A file that grows at its end, for records written while the program runs.
// Every call returns 0 or the errno of the failing system call (on Windows
// the errno nearest to the system's error code) and never throws, so it may
// be used from any thread.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

/// What open() returns for a path that names something other than a regular
/// file (a FIFO, a device node, a socket): never an errno.
inline constexpr int NotARegularFile = -1;

class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    /// Opens the regular file at path for appending, creating it when
    /// missing. A folder, a missing folder or one that may not be written to
    /// gives the system's errno; a FIFO, device or socket gives
    /// NotARegularFile at once, without waiting for a reader.
    int open(const QString& path);
    /// Writes data, made of whole lines, at the end. When the write fails
    /// part way (a full disk), what went out is cut back to the end of its
    /// last whole line: the file keeps every line the disk took and ends
    /// after a whole one.
    int write(const char* data, std::size_t count);
    int write(const QByteArray& data) { return write(data.constData(), std::size_t(data.size())); }
    /// Closes the file; what was written stays.
    int close();

    bool isOpen() const { return m_descriptor >= 0; }
    /// The file's size: what it held when opened plus what was written since.
    std::int64_t size() const { return m_size; }

private:
    int m_descriptor = -1;
    std::int64_t m_size = 0;
};

/// Writes all count bytes to descriptor, going on after partial writes and
/// interrupted calls. Returns 0 or the errno; written counts what went out.
int writeAllBytes(int descriptor, const char* data, std::size_t count, std::size_t& written);

/// Renames from to to, replacing to. Returns 0 or the errno.
int renameFile(const QString& from, const QString& to);
/// Removes a file. A file that is not there is no error. Returns 0 or the errno.
int removeFile(const QString& path);
/// The size of the regular file at path; -1 when there is none (nothing
/// there, or a folder, device or pipe).
std::int64_t regularFileSize(const QString& path);

/// Whether two paths lead to the same file: the same file on disk where both
/// exist (through links, hard or symbolic), else the same place once the
/// links on the way are followed.
bool sameFile(const QString& first, const QString& second);
