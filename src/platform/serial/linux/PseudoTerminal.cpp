#include "platform/serial/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/major.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::~PseudoTerminal() {
    Close();
}

int PseudoTerminal::Open(bool keepSlaveOpen) {
    Close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0) {
        return errno;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        const int error = errno;
        ::close(master);
        return error;
    }
    m_master = master;
    m_slavePath = name;

    // The line's settings live on the slave side; hold it open while setting
    // raw mode so that nothing is echoed or translated between the ends.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave < 0) {
        const int error = errno;
        Close();
        return error;
    }
    termios attributes{};
    if (tcgetattr(slave, &attributes) == 0) {
        cfmakeraw(&attributes);
        tcsetattr(slave, TCSANOW, &attributes);
    }
    if (keepSlaveOpen) {
        m_heldSlave = slave;
    } else {
        ::close(slave);
    }
    return 0;
}

void PseudoTerminal::ReleaseSlave() {
    if (m_heldSlave >= 0) {
        ::close(m_heldSlave);
        m_heldSlave = -1;
    }
}

void PseudoTerminal::Close() {
    ReleaseSlave();
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_slavePath.clear();
}

bool pseudoTerminalsAvailable() {
    return true;
}

bool isPseudoTerminalNode(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
        return false;
    }
    const unsigned deviceMajor = major(status.st_rdev);
    return deviceMajor >= UNIX98_PTY_SLAVE_MAJOR &&
           deviceMajor < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}
