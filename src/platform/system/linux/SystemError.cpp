#include "platform/system/SystemError.h"

#include <cerrno>
#include <cstring>

std::uint32_t SystemErrorCode(int errnoValue) {
    // flock() answers a held lock with EWOULDBLOCK; the operator is better
    // served by "device busy", the code TIOCEXCL gives for the same case.
    if (errnoValue == EWOULDBLOCK) {
        return EBUSY;
    }
    return std::uint32_t(errnoValue);
}

bool IsUnsupportedRequest(int errnoValue) {
    return errnoValue == ENOTTY || errnoValue == EINVAL;
}

OpenFailure ClassifyOpenFailure(std::uint32_t systemCode) {
    switch (int(systemCode)) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return OpenFailure::Missing;
    case EBUSY:
        return OpenFailure::Busy;
    case EACCES:
    case EPERM:
        return OpenFailure::Denied;
    case ENOTTY:
    case EISDIR:
        return OpenFailure::NotSerial;
    case ENOMEM:
        return OpenFailure::OutOfResources;
    default:
        return OpenFailure::Other;
    }
}

bool IsDeviceGone(std::uint32_t systemCode) {
    // An open line that fails like this has been hung up: on a USB adapter
    // that is the adapter pulled out, and the device node it had is gone.
    switch (int(systemCode)) {
    case EIO:
    case ENXIO:
    case ENODEV:
        return true;
    default:
        return false;
    }
}

std::string SystemErrorText(std::uint32_t systemCode) {
    return std::strerror(int(systemCode));
}

std::uint32_t OutOfResourcesCode() {
    return ENOMEM;
}
