#include "serial/EComPort.h"

#include "platform/system/SystemError.h"

#include <array>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 24> messageTable = {
    "",
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string messageWithCode(std::uint32_t systemCode, int libraryCode) {
    // The code is printed as a signed number, so "no code" reads as -1.
    return ComErrorMessage(libraryCode) +
           " (win error code: " + std::to_string(std::int32_t(systemCode)) + ")";
}

} // namespace

std::string ComErrorMessage(int libraryCode) {
    if (libraryCode < 1 || libraryCode >= int(messageTable.size())) {
        return std::string();
    }
    return std::string(messageTable[std::size_t(libraryCode)]);
}

EComPort::EComPort(std::uint32_t systemCode, int libraryCode)
    : std::runtime_error(messageWithCode(systemCode, libraryCode)), m_systemCode(systemCode),
      m_libraryCode(libraryCode) {}

EComPort::EComPort(int libraryCode)
    : std::runtime_error(ComErrorMessage(libraryCode)), m_libraryCode(libraryCode) {}

bool ComDeviceGone(const EComPort& error) {
    return IsDeviceGone(error.SystemCode());
}

bool ComLineLost(const EComPort& error) {
    const int code = error.LibraryCode();
    return (code == CError_WriteFailed || code == CError_ReadFailed) && ComDeviceGone(error);
}

std::string ComErrorAdvice(const EComPort& error) {
    if (ComLineLost(error)) {
        return "The port stopped working; the adapter may have been unplugged.";
    }
    const int code = error.LibraryCode();
    if (code != CError_OpenFailed) {
        return std::string();
    }
    switch (ClassifyOpenFailure(error.SystemCode())) {
    case OpenFailure::Missing:
        return "The port does not exist: check the port name and that the adapter is plugged in.";
    case OpenFailure::Busy:
        return "Another program is using the port: close it there first.";
    case OpenFailure::Denied:
        return "No permission to use the port: add the user to the dialout group and log in "
               "again.";
    case OpenFailure::NotSerial:
        return "This is not a serial port: choose a device such as ttyUSB0.";
    case OpenFailure::OutOfResources:
        // The port's event thread could not be started.
        return "The system is short of memory or threads: close other programs and try "
               "again.";
    case OpenFailure::Other:
        break;
    }
    return std::string();
}
