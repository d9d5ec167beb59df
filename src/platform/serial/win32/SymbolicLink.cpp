#include "platform/serial/SymbolicLink.h"

#include <cerrno>

// Links to a device are kept only for the virtual module's pseudo-terminal,
// which Windows does not have (see PseudoTerminal).

int pointLinkAt(const std::string&, const std::string&) {
    return ENOSYS;
}

int removeLink(const std::string&) {
    return 0;
}
