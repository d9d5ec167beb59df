#pragma once
// A pseudo-terminal pair: the master end is held here, the slave end is a
// device path that any serial code can open like a real port. Windows has
// none: there Open() fails with ENOSYS and pseudoTerminalsAvailable() says so
// beforehand.

#include <string>

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    /// Creates the pair with the line in raw mode. When keepSlaveOpen is set the
    /// master also holds one descriptor of the slave, so that the master never
    /// sees a hang-up while a client closes and reopens the port. Returns 0 or
    /// the errno of the failing call.
    int Open(bool keepSlaveOpen = true);
    void Close();

    bool IsOpen() const { return m_master >= 0; }
    int MasterFd() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

    /// Drops the master's own slave descriptor (if held), so that the master
    /// sees a hang-up once the last client closes.
    void ReleaseSlave();

private:
    int m_master = -1;
    int m_heldSlave = -1;
    std::string m_slavePath;
};

/// Whether the system has pseudo-terminals at all (Linux does, Windows not).
bool pseudoTerminalsAvailable();

/// Whether the path names a pseudo-terminal's slave node itself (not a link
/// to one). Such a name never comes back for the same line: once its master
/// end closes, the number goes to the next terminal anybody opens.
bool isPseudoTerminalNode(const std::string& path);
