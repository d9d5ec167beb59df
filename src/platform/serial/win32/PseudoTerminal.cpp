#include "platform/serial/PseudoTerminal.h"

#include <cerrno>

// Windows has no pseudo-terminals. The virtual module, the one user of this
// unit, will serve over a network connection there (the network lines);
// until then its start fails with ENOSYS, which says just that.

PseudoTerminal::~PseudoTerminal() = default;

int PseudoTerminal::Open(bool) {
    return ENOSYS;
}

void PseudoTerminal::Close() {}

void PseudoTerminal::ReleaseSlave() {}

bool isPseudoTerminalNode(const std::string&) {
    return false;
}
