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
