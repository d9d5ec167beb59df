#include "platform/serial/PseudoTerminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

TEST(PseudoTerminal, BytesCrossBothWaysUntranslated) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    ASSERT_FALSE(pty.SlavePath().empty());
    const int client = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(client, 0);

    // Raw mode: CR, LF, 0x03 and 0xFF pass as they are, nothing is echoed.
    const unsigned char out[] = {0x01, 0x0D, 0x0A, 0x03, 0xFF};
    ASSERT_EQ(::write(client, out, sizeof out), static_cast<ssize_t>(sizeof out));
    pollfd ready{pty.MasterFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 1000), 1);
    unsigned char in[16] = {};
    ASSERT_EQ(::read(pty.MasterFd(), in, sizeof in), static_cast<ssize_t>(sizeof out));
    EXPECT_EQ(0, memcmp(in, out, sizeof out));

    ASSERT_EQ(::write(pty.MasterFd(), out, 2), 2);
    pollfd back{client, POLLIN, 0};
    ASSERT_EQ(::poll(&back, 1, 1000), 1);
    EXPECT_EQ(::read(client, in, sizeof in), 2);
    ::close(client);

    pollfd quiet{pty.MasterFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&quiet, 1, 50), 0) << "held slave keeps the master from hanging up";
    pty.Close();
    EXPECT_FALSE(pty.IsOpen());
}
