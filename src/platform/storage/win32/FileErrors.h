#pragma once
// The storage units report errno values on every system, so that their
// callers compare and word a failure alike (ENOENT, EFBIG, strerror()); on
// Windows the system's error codes are turned into the nearest errno here.
// Paths become the wide, backslashed text the Win32 file calls take.

#include <QString>
#include <string>

/// The errno nearest to a Windows error code (EIO for one without a near one).
int ErrnoOfWindowsError(unsigned long code);
/// ErrnoOfWindowsError(GetLastError()).
int LastErrorAsErrno();

/// The path with native separators, as a null-terminated wide string.
std::wstring WidePath(const QString& path);

/// Whether path names a device rather than a file: anything in the device
/// space ("\\.\pipe\...", "\\.\COM5"), or a name that Windows takes for a
/// device in whatever folder it stands ("NUL", "COM1.txt"). Such paths are
/// refused before they are opened: opening would claim a port, and a pipe's
/// server may hold the opening up.
bool NamesADevice(const QString& path);
