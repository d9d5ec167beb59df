#include "platform/serial/PseudoTerminal.h"

#include <cerrno>

// Windows has no pseudo-terminals. The virtual module, the one user of this
// unit, serves over TCP on a loopback port there instead (SimulatedModule);
// a start on a pseudo-terminal fails with ENOSYS, which says just that.

PseudoTerminal::~PseudoTerminal() = default;

int PseudoTerminal::Open(bool) {
    return ENOSYS;
}

void PseudoTerminal::Close() {}

void PseudoTerminal::ReleaseSlave() {}

bool pseudoTerminalsAvailable() {
    return false;
}

bool isPseudoTerminalNode(const std::string&) {
    return false;
}
