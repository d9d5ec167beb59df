#pragma once
// The one place where an errno value becomes the system code that the serial
// component reports. Linux errno values are kept as they are: a missing
// device (ENOENT) gives 2 as on the original platform, a busy one EBUSY.

#include <cstdint>

std::uint32_t SystemErrorCode(int errnoValue);

/// True for the answers a driver gives to an ioctl it does not implement
/// (a pseudo-terminal has no modem lines, error counters or RS-485 mode).
bool IsUnsupportedRequest(int errnoValue);
