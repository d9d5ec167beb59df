#include "platform/net/NetError.h"

#include <cstring>

NetError NetErrorOf(int code) {
    return NetError{code, QString::fromLocal8Bit(std::strerror(code))};
}
