#pragma once
// The one place where the system's error values become the code that the
// serial component reports, and where such a code is told apart and put into
// words. On Linux the code is the errno value as it is: a missing device
// (ENOENT) gives 2, as on Windows, a busy one EBUSY. On Windows it is the
// Windows error code: a missing port gives ERROR_FILE_NOT_FOUND (2), a port
// open in another program ERROR_ACCESS_DENIED (5).

#include <cstdint>
#include <string>

std::uint32_t SystemErrorCode(int errnoValue);

/// True for the answers a driver gives to a request it does not implement
/// (a pseudo-terminal has no modem lines, error counters or RS-485 mode).
bool IsUnsupportedRequest(int errnoValue);

/// What a failed opening of a port means for the operator.
enum class OpenFailure {
    Other,
    Missing,       ///< no such port, or its adapter is not plugged in
    Busy,          ///< another program has the port open
    Denied,        ///< the user may not use the port
    NotSerial,     ///< the name is something else than a serial port
    OutOfResources ///< no memory or threads left for it
};
OpenFailure ClassifyOpenFailure(std::uint32_t systemCode);

/// Whether a failed read, write or query of an open port says that the
/// device has gone away under it (on a USB adapter: it was pulled out).
bool IsDeviceGone(std::uint32_t systemCode);

/// The system's own words for a code, as strerror() or FormatMessage() give them.
std::string SystemErrorText(std::uint32_t systemCode);

/// The code of a failure for want of memory or threads (ENOMEM,
/// ERROR_NOT_ENOUGH_MEMORY).
std::uint32_t OutOfResourcesCode();
