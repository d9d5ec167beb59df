// Whether another process has a device open: a child holds a pseudo-terminal
// open, and the device counts as held exactly while it does.

#include "platform/serial/DeviceHolders.h"
#include "platform/serial/PseudoTerminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

TEST(DeviceHolders, AnotherProcessHoldingTheDeviceIsSeenAndOurOwnDescriptorsAreNot) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.Open(), 0);
    // This process holds the device itself (the pair keeps the far end's
    // descriptor); that does not count.
    const int own = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(own, 0);
    const std::string path = OpenDescriptorPath(own);
    EXPECT_EQ(path, pty.SlavePath());
    EXPECT_FALSE(OtherProcessHoldsPath(path));

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child holds the line through the descriptors it inherited.
        const char done = 'y';
        [[maybe_unused]] const auto written = ::write(ready[1], &done, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(done, 'y');
    EXPECT_TRUE(OtherProcessHoldsPath(path));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(OtherProcessHoldsPath(path));
    EXPECT_FALSE(OtherProcessHoldsPath(""));
    ::close(own);
}
