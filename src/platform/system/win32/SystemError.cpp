#include "platform/system/SystemError.h"

#include <windows.h>

std::uint32_t SystemErrorCode(int errorCode) {
    // Windows error codes are reported as they are, as the original tool did.
    return std::uint32_t(errorCode);
}

bool IsUnsupportedRequest(int errorCode) {
    return errorCode == ERROR_INVALID_FUNCTION || errorCode == ERROR_NOT_SUPPORTED;
}

OpenFailure ClassifyOpenFailure(std::uint32_t systemCode) {
    switch (systemCode) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEVICE_NOT_CONNECTED:
        return OpenFailure::Missing;
    // A COM port is opened without sharing, so a port that another program
    // has open answers with "access denied": on Windows that means busy.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return OpenFailure::Busy;
    case ERROR_PRIVILEGE_NOT_HELD:
        return OpenFailure::Denied;
    // What opens but is no communications device (a file, NUL) refuses the
    // first communications call with one of these.
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
        return OpenFailure::NotSerial;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
        return OpenFailure::OutOfResources;
    default:
        return OpenFailure::Other;
    }
}

bool IsDeviceGone(std::uint32_t systemCode) {
    // What the USB serial drivers answer on an open handle once the adapter
    // has been pulled out.
    switch (systemCode) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
        return true;
    default:
        return false;
    }
}

std::string SystemErrorText(std::uint32_t systemCode) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, systemCode, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length > 0 && text != nullptr) {
        const int bytes =
            ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
        result.resize(std::size_t(bytes));
        ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), result.data(), bytes, nullptr,
                              nullptr);
    }
    ::LocalFree(text);
    // The system's sentences end with a full stop and a line break, which
    // would break the line they are put into.
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
        result.pop_back();
    }
    if (result.empty()) {
        result = "Windows error " + std::to_string(systemCode);
    }
    return result;
}

std::uint32_t OutOfResourcesCode() {
    return ERROR_NOT_ENOUGH_MEMORY;
}
