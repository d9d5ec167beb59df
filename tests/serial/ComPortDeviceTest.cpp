// The component on pseudo-terminals: opening and its failures, settings that
// reach the line, reading and writing, and the notifications around them.

#include "serial/ComPort.h"

#include "platform/system/ApplicationErrors.h"
#include "tests/serial/SerialTestSupport.h"

#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace serialtest;

namespace {

class ComPortOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pty.Open(), 0);
        port.SetPort(pty.SlavePath());
    }

    void record(TComPort& target) {
        target.OnBeforeOpen = [this](TCustomComPort*) { calls.push_back("BeforeOpen"); };
        target.OnAfterOpen = [this](TCustomComPort*) { calls.push_back("AfterOpen"); };
        target.OnBeforeClose = [this](TCustomComPort*) { calls.push_back("BeforeClose"); };
        target.OnAfterClose = [this](TCustomComPort*) { calls.push_back("AfterClose"); };
        target.OnCTSChange = [this](TCustomComPort*, bool on) {
            calls.push_back(std::string("CTS:") + (on ? "1" : "0"));
        };
        target.OnDSRChange = [this](TCustomComPort*, bool on) {
            calls.push_back(std::string("DSR:") + (on ? "1" : "0"));
        };
        target.OnRLSDChange = [this](TCustomComPort*, bool on) {
            calls.push_back(std::string("RLSD:") + (on ? "1" : "0"));
        };
    }

    // Declared before the port, whose closing on destruction still reports.
    PseudoTerminal pty;
    std::vector<std::string> calls;
    TComPort port;
};

EComPort openFailure(const std::string& name) {
    TComPort port;
    port.SetPort(name);
    try {
        port.SetConnected(true);
    } catch (const EComPort& error) {
        EXPECT_FALSE(port.Connected());
        return error;
    }
    ADD_FAILURE() << name << " opened";
    return EComPort(0);
}

// Counts the pushes that reach an open device.
class CountingPort : public TComPort {
public:
    int fullPushes = 0;
    void ApplyAllSettings() override {
        if (Connected() && ApplyHold() == 0) {
            ++fullPushes;
        }
        TComPort::ApplyAllSettings();
    }
};

} // namespace

TEST_F(ComPortOnPty, MissingPortRaisesCodeOneWithSystemCodeTwoAndOnlyBeforeOpenRuns) {
    record(port);
    port.SetPort("/dev/kestro-no-such-port");
    try {
        port.SetConnected(true);
        FAIL() << "opened a missing port";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 1);
        EXPECT_EQ(error.SystemCode(), 2U);
        EXPECT_STREQ(error.what(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(calls, std::vector<std::string>{"BeforeOpen"});
    // A plain name is looked up under /dev.
    EXPECT_EQ(openFailure("kestro-no-such-port").SystemCode(), 2U);
}

TEST_F(ComPortOnPty, OddNamesAreOpenedAsGivenOrRefusedWithCodeOne) {
    const std::string marker = "/tmp/kestro-serial-shell-marker";
    ::unlink(marker.c_str());
    // Never handed to a shell: the name is just a file that does not exist.
    EXPECT_EQ(openFailure("`touch " + marker + "`").LibraryCode(), 1);
    EXPECT_EQ(openFailure("$(touch " + marker + ")").SystemCode(), 2U);
    EXPECT_NE(::access(marker.c_str(), F_OK), 0);
    // The empty name is the /dev directory, the original form's blank a missing file.
    EXPECT_EQ(openFailure("").SystemCode(), std::uint32_t(EISDIR));
    EXPECT_EQ(openFailure(" ").SystemCode(), 2U);
    // Something that is not a terminal is refused, not used as a line.
    EXPECT_EQ(openFailure("/dev/null").SystemCode(), std::uint32_t(ENOTTY));
    EXPECT_EQ(openFailure(std::string(5000, 'x')).LibraryCode(), 1);
}

TEST_F(ComPortOnPty, PortHeldElsewhereIsRefusedWithCodeOne) {
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    const EComPort second = openFailure(pty.SlavePath());
    EXPECT_EQ(second.LibraryCode(), 1);
    EXPECT_EQ(second.SystemCode(), std::uint32_t(EBUSY));
    port.SetConnected(false);

    // Another process's lock (a descriptor of its own) keeps the port too.
    const int holder = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(openFailure(pty.SlavePath()).LibraryCode(), 1);
    ::close(holder);
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    port.SetConnected(false);

    // A program that claims the line with the terminal's exclusive mode alone
    // keeps it too, even from a user (root) whom that mode lets through.
    const int exclusiveHolder = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(exclusiveHolder, 0);
    ASSERT_EQ(::ioctl(exclusiveHolder, TIOCEXCL), 0);
    const EComPort refused = openFailure(pty.SlavePath());
    EXPECT_EQ(refused.LibraryCode(), 1);
    EXPECT_EQ(refused.SystemCode(), std::uint32_t(EBUSY));
    // The refused attempt must not have cleared the holder's claim.
    int stillExclusive = 0;
    ASSERT_EQ(::ioctl(exclusiveHolder, TIOCGEXCL, &stillExclusive), 0);
    EXPECT_NE(stillExclusive, 0);
    ::ioctl(exclusiveHolder, TIOCNXCL);
    ::close(exclusiveHolder);
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
}

TEST(ComPortErrors, PermissionDeniedCarriesTheSystemCode) {
    // A file that no one may read or write. Root passes such checks, so for
    // root the refusal is produced by a child that has given up its
    // privileges; any other user is refused as it is. The child reports the
    // error through a pipe.
    char path[] = "/tmp/kestro-serial-denied-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    ::close(file);
    ASSERT_EQ(::chmod(path, 0), 0);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string report;
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            report = "privileges kept";
        } else if (::access(path, R_OK) == 0) {
            report = "permissions not enforced";
        } else {
            TComPort denied;
            denied.SetPort(path);
            try {
                denied.OpenPort();
                report = "opened";
            } catch (const EComPort& error) {
                report = std::to_string(error.LibraryCode()) + "|" + error.what();
            }
        }
        [[maybe_unused]] auto written = ::write(channel[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    char buffer[256] = {};
    const auto got = ::read(channel[0], buffer, sizeof buffer - 1);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    ::unlink(path);
    ASSERT_GT(got, 0);
    if (std::string(buffer) == "privileges kept" ||
        std::string(buffer) == "permissions not enforced") {
        GTEST_SKIP() << "file permissions cannot refuse this user (" << buffer
                     << "), so no permission error can be produced";
    }
    EXPECT_EQ(std::string(buffer), "1|Unable to open com port (win error code: 13)");
}

TEST_F(ComPortOnPty, OpenAndCloseNotifyInOrderAndRepeatsDoNothing) {
    record(port);
    port.SetConnected(true);
    port.SetConnected(true);
    port.OpenPort();
    // A pseudo-terminal has no modem lines, so every line reads as off.
    const std::vector<std::string> opening = {"BeforeOpen", "AfterOpen", "CTS:0", "DSR:0",
                                              "RLSD:0"};
    EXPECT_EQ(calls, opening);
    EXPECT_TRUE(port.HasEventThread());
    calls.clear();
    port.SetConnected(false);
    port.SetConnected(false);
    port.ClosePort();
    const std::vector<std::string> closing = {"CTS:0", "DSR:0", "RLSD:0", "BeforeClose",
                                              "AfterClose"};
    EXPECT_EQ(calls, closing);
    EXPECT_FALSE(port.HasEventThread());
}

TEST_F(ComPortOnPty, WithoutEventsNoThreadRunsButOpeningIsAnnounced) {
    record(port);
    port.SetEvents({});
    port.SetConnected(true);
    EXPECT_FALSE(port.HasEventThread());
    EXPECT_EQ(calls.size(), 5U);
    port.SetConnected(false);
    EXPECT_EQ(calls.back(), "AfterClose");
}

TEST_F(ComPortOnPty, ClosingDropsOutputThatAStalledLineHasNotSent) {
    // A far end that reads nothing stalls the line: what it has not taken
    // waits in the kernel, beyond the 4 KiB its own line buffer holds, as
    // bytes wait in a serial driver's queue while CTS is low or after XOFF.
    // No event thread runs, so nothing else empties the queue: closing must
    // drop it, as a serial driver would otherwise hold the close until it
    // is sent (up to 30 s).
    port.SetEvents({});
    port.SetConnected(true);
    constexpr int written = 6 * 1024;
    const std::vector<std::uint8_t> unsent(std::size_t(written), 0x33);
    ASSERT_EQ(port.WriteData(unsent.data(), written), written);
    port.SetConnected(false);
    int received = 0;
    std::uint8_t chunk[4096];
    for (ssize_t got = 0; (got = ::read(pty.MasterFd(), chunk, sizeof chunk)) > 0;) {
        received += int(got);
    }
    EXPECT_LE(received, 4096);
    // The line works normally after a reopen.
    port.SetConnected(true);
    const std::vector<std::uint8_t> frame = {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B};
    ASSERT_EQ(port.WriteData(frame.data(), 8), 8);
    EXPECT_EQ(readFarEnd(pty, 8), frame);
}

TEST_F(ComPortOnPty, AnEventThreadThatCannotStartFailsTheOpeningCleanly) {
    record(port);
    // No thread can be started while each new one asks for a stack larger
    // than the address space; the process's defaults are put back at once.
    pthread_attr_t previous;
    pthread_attr_t oversized;
    ASSERT_EQ(pthread_getattr_default_np(&previous), 0);
    ASSERT_EQ(pthread_attr_init(&oversized), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&oversized, std::size_t(1) << 62), 0);
    ASSERT_EQ(pthread_setattr_default_np(&oversized), 0);
    int code = 0;
    std::uint32_t reason = 0;
    bool otherError = false;
    try {
        port.SetConnected(true);
    } catch (const EComPort& error) {
        code = error.LibraryCode();
        reason = error.SystemCode();
    } catch (...) {
        otherError = true;
    }
    pthread_setattr_default_np(&previous);
    pthread_attr_destroy(&oversized);
    pthread_attr_destroy(&previous);

    EXPECT_FALSE(otherError);
    // An opening that failed for want of resources, not a busy port.
    EXPECT_EQ(code, CError_OpenFailed);
    EXPECT_EQ(reason, std::uint32_t(ENOMEM));
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.HasEventThread());
    EXPECT_EQ(calls, std::vector<std::string>{"BeforeOpen"});
    // The line was let go: another port can take it, and this one opens
    // normally once threads can be started again.
    TComPort other;
    other.SetPort(pty.SlavePath());
    other.SetEvents({});
    EXPECT_NO_THROW(other.SetConnected(true));
    other.SetConnected(false);
    port.SetConnected(true);
    EXPECT_TRUE(port.HasEventThread());
    port.SetConnected(false);
}

TEST_F(ComPortOnPty, SettingsReachTheLineAndClosingRestoresItsOwn) {
    const termios2 before = lineAttributes(pty);
    port.SetConnected(true);
    termios2 line = lineAttributes(pty);
    EXPECT_EQ(TermiosSpeed(line), 9600);
    EXPECT_EQ(line.c_cflag & CSIZE, unsigned(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0U);
    EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), unsigned(CREAD | CLOCAL));
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0U);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL), 0U);

    port.SetBaudRate(br14400);
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 14400);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 250000);
    port.SetBaudRate(br115200);
    EXPECT_EQ(lineAttributes(pty).c_cflag & CBAUD, unsigned(B115200));

    // A pseudo-terminal always keeps 8 bits without parity enable (PARENB,
    // CSIZE); the flags that select the kind of parity do reach it.
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prMark);
    line = lineAttributes(pty);
    EXPECT_NE(line.c_cflag & CSTOPB, 0U);
    EXPECT_EQ(line.c_cflag & (CMSPAR | PARODD), unsigned(CMSPAR | PARODD));
    port.Parity().SetBits(prSpace);
    EXPECT_EQ(lineAttributes(pty).c_cflag & (CMSPAR | PARODD), unsigned(CMSPAR));
    port.Parity().SetBits(prOdd);
    EXPECT_EQ(lineAttributes(pty).c_cflag & (CMSPAR | PARODD), unsigned(PARODD));
    port.SetStopBits(sbOneStopBit);
    EXPECT_EQ(lineAttributes(pty).c_cflag & CSTOPB, 0U);

    port.FlowControl().SetXonChar(0x11 + 2);
    port.FlowControl().SetFlowControl(fcSoftware);
    line = lineAttributes(pty);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), unsigned(IXON | IXOFF));
    EXPECT_EQ(line.c_cc[VSTART], 0x13);
    EXPECT_EQ(line.c_cc[VSTOP], 19);
    port.FlowControl().SetFlowControl(fcHardware);
    line = lineAttributes(pty);
    EXPECT_NE(line.c_cflag & CRTSCTS, 0U);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0U);

    port.SetConnected(false);
    const termios2 after = lineAttributes(pty);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(TermiosSpeed(after), TermiosSpeed(before));
}

TEST_F(ComPortOnPty, ChangesWhileClosedWaitForTheNextOpening) {
    const int speedBefore = TermiosSpeed(lineAttributes(pty));
    ASSERT_NE(speedBefore, 57600);
    port.SetBaudRate(br57600);
    port.SetStopBits(sbTwoStopBits);
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), speedBefore);
    EXPECT_EQ(lineAttributes(pty).c_cflag & CSTOPB, 0U);
    port.SetConnected(true);
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 57600);
    EXPECT_NE(lineAttributes(pty).c_cflag & CSTOPB, 0U);
}

TEST_F(ComPortOnPty, NestedHoldsPushOnceWhenTheOutermostEnds) {
    CountingPort held;
    held.SetPort(pty.SlavePath());
    held.SetConnected(true);
    ASSERT_EQ(held.fullPushes, 1);
    held.SuspendApply();
    held.SuspendApply();
    held.SetBaudRate(br38400);
    held.Parity().SetBits(prOdd);
    held.Buffer().SetInputSize(4096);
    held.ResumeApply();
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 9600);
    EXPECT_EQ(held.fullPushes, 1);
    held.ResumeApply();
    EXPECT_EQ(held.fullPushes, 2);
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 38400);
    EXPECT_NE(lineAttributes(pty).c_cflag & PARODD, 0U);
}

TEST_F(ComPortOnPty, AnOpenLineIsRawEvenBeforeItsSettingsArePushed) {
    // The line as another program may leave it: echo, line editing, newline
    // translation. Echoed bytes would go back onto the bus and a translated
    // 0x0A would break a frame.
    termios2 cooked = lineAttributes(pty);
    cooked.c_lflag |= ECHO | ICANON | ISIG;
    cooked.c_iflag |= ICRNL | IXON;
    cooked.c_oflag |= OPOST | ONLCR;
    ASSERT_EQ(::ioctl(pty.MasterFd(), TCSETS2, &cooked), 0);

    // Opened inside a hold, the settings wait for the hold's end.
    port.SuspendApply();
    port.SetConnected(true);
    const termios2 line = lineAttributes(pty);
    EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG), 0U);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON), 0U);
    EXPECT_EQ(line.c_oflag & OPOST, 0U);
    const std::vector<std::uint8_t> frame = {0x01, 0x06, 0x00, 0x0A, 0x00, 0x0A, 0xA8, 0x0B};
    EXPECT_EQ(port.WriteData(frame.data(), 8), 8);
    EXPECT_EQ(readFarEnd(pty, 8), frame);
    port.ResumeApply();
    port.SetConnected(false);
    // Closing hands the line back as it was found.
    EXPECT_NE(lineAttributes(pty).c_lflag & ECHO, 0U);
}

TEST_F(ComPortOnPty, AFailedPushWhileOpeningClosesAgainAndLeavesTheValueStored) {
    record(port);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(0);
    try {
        port.SetConnected(true);
        FAIL() << "opened with speed 0";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 7);
        EXPECT_EQ(error.SystemCode(), std::uint32_t(EINVAL));
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(calls, std::vector<std::string>{"BeforeOpen"});
    EXPECT_EQ(port.CustomBaudRate(), 0);

    port.SetCustomBaudRate(31250);
    port.Buffer().SetInputSize(-2);
    try {
        port.SetConnected(true);
        FAIL() << "opened with a negative queue size";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 9);
    }
    port.Buffer().SetInputSize(1024);
    port.SetConnected(true);
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 31250);
    // A failing change on an open port raises and keeps the port open.
    EXPECT_THROW(port.SetCustomBaudRate(-1), EComPort);
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortOnPty, SyncMethodIsFixedWhileOpenAndPortChangeReopens) {
    record(port);
    port.SetConnected(true);
    try {
        port.SetSyncMethod(smNone);
        FAIL() << "changed the delivery while open";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 14);
        EXPECT_STREQ(error.what(), "Cannot set property while connected");
    }
    port.SetSyncMethod(smThreadSync);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);

    PseudoTerminal other;
    ASSERT_EQ(other.Open(), 0);
    calls.clear();
    port.SetPort(other.SlavePath());
    EXPECT_TRUE(port.Connected());
    ASSERT_GE(calls.size(), 10U);
    EXPECT_EQ(calls[3], "BeforeClose");
    EXPECT_EQ(calls[4], "AfterClose");
    EXPECT_EQ(calls[5], "BeforeOpen");
    // The first line is free again, the second one is taken.
    EXPECT_EQ(openFailure(other.SlavePath()).SystemCode(), std::uint32_t(EBUSY));
    TComPort first;
    first.SetPort(pty.SlavePath());
    first.SetConnected(true);
    EXPECT_TRUE(first.Connected());
}

TEST_F(ComPortOnPty, ReadsReturnAtOnceWithWhatIsWaitingAndWritesReportTheirCount) {
    port.SetEvents({});
    port.SetConnected(true);
    const std::vector<std::uint8_t> frame = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};
    EXPECT_EQ(port.WriteData(frame.data(), 8), 8);
    EXPECT_EQ(readFarEnd(pty, 8), frame);

    std::uint8_t buffer[100] = {};
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(port.ReadData(buffer, 100), 0);
    EXPECT_LT(timer.elapsed(), 500);

    writeFarEnd(pty, {1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(waitUntil([&] { return port.PendingInputCount() == 7; }));
    EXPECT_EQ(port.ReadData(buffer, 100), 7);
    EXPECT_EQ(buffer[6], 7);
    EXPECT_EQ(port.PendingInputCount(), 0);
    EXPECT_TRUE(port.ReceiveErrors().Empty());
    EXPECT_TRUE(port.ModemLines().Empty());

    // With read totals set the read waits for the rest within them.
    port.Timeouts().SetReadTotalConstant(3000);
    writeFarEnd(pty, {9});
    EXPECT_EQ(port.ReadData(buffer, 1), 1);
    EXPECT_EQ(buffer[0], 9);
}

TEST_F(ComPortOnPty, ReceiveOptionsWithoutADriverEquivalentAreDoneOnTheWayIn) {
    port.SetEvents({});
    port.SetDiscardNull(true);
    port.SetConnected(true);
    writeFarEnd(pty, {0, 'A', 0, 0, 'B', 0});
    ASSERT_TRUE(waitUntil([&] { return port.PendingInputCount() == 6; }));
    std::uint8_t buffer[16] = {};
    ASSERT_EQ(port.ReadData(buffer, 16), 2);
    EXPECT_EQ(buffer[0], 'A');
    EXPECT_EQ(buffer[1], 'B');
}

TEST_F(ComPortOnPty, ClosedPortRefusesIoWithItsCodes) {
    std::uint8_t byte = 0;
    EXPECT_THROW(
        {
            try {
                port.WriteData(&byte, 1);
            } catch (const EComPort& error) {
                EXPECT_EQ(error.LibraryCode(), 2);
                throw;
            }
        },
        EComPort);
    try {
        port.ReadData(&byte, 1);
        FAIL();
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 3);
    }
    try {
        port.PendingInputCount();
        FAIL();
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 10);
    }
    try {
        port.ModemLines();
        FAIL();
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 11);
    }
    try {
        port.AbortPendingIO();
        FAIL();
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 5);
    }
}

TEST_F(ComPortOnPty, ConnectedStoredWhileLoadingOpensWhenLoadingEnds) {
    std::vector<std::string> reported;
    const auto previous = SetApplicationErrorHandler(
        [&](const std::string& message) { reported.push_back(message); });
    port.BeginLoading();
    port.SetConnected(true);
    port.SetBaudRate(br19200);
    EXPECT_FALSE(port.HasEventThread());
    port.Loaded();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(TermiosSpeed(lineAttributes(pty)), 19200);

    TComPort missing;
    missing.BeginLoading();
    missing.SetPort("/dev/kestro-no-such-port");
    missing.SetConnected(true);
    EXPECT_NO_THROW(missing.Loaded());
    EXPECT_FALSE(missing.Connected());
    SetApplicationErrorHandler(previous);
    EXPECT_EQ(reported, std::vector<std::string>{"Unable to open com port (win error code: 2)"});
}
