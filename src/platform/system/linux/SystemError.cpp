#include "platform/system/SystemError.h"

#include <cerrno>

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
