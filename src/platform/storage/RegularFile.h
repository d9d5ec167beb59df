#pragma once
// Opening a file for reading that can never hold the caller up. The path is
// opened first, without blocking, and the open descriptor is what is checked:
// only a regular file is handed over. A FIFO or a device node put under the
// name, even between a look at the name and the opening, is never waited on.

#include <QFile>
#include <QString>
#include <memory>

struct OpenedRegularFile {
    enum class Outcome {
        Opened,     ///< `file` reads the regular file
        Missing,    ///< nothing by that name (or a path through a non-folder)
        NotRegular, ///< a folder, FIFO, socket or device node
        Refused,    ///< it exists but cannot be opened; `error` says why
    };
    Outcome outcome = Outcome::Missing;
    /// The errno of the failing call, 0 when opened.
    int error = 0;
    std::unique_ptr<QFile> file;
};

/// Opens `path` for reading only, sharing it with other readers and writers.
OpenedRegularFile openRegularFileForReading(const QString& path);
