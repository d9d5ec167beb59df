// The module as an independent master sees it: libmodbus on the module's port.

#include "sim/VirtualModule.h"
#include "tests/sim/ModbusMaster.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The module counts a reply once it is on the line, which may be a moment
// after the master has read it.
bool waitForReplies(const VirtualModule& module, std::uint64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (module.Statistics().replies < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    return module.Statistics().replies == count;
}

// A request the master gave up on may still be on its way to the module on
// a busy machine; what the module does with it is looked at once it took it.
bool waitForRequests(const VirtualModule& module, std::uint64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (module.Statistics().requests < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    return module.Statistics().requests == count;
}

// Both ends' record of the bytes of a test, shown only when it fails: what
// the module took and sent, as it saw them, and libmodbus's own print of
// every frame it sent and received (its debug output, kept off the test's
// output meanwhile). A failure such as libmodbus's "Invalid data" then shows
// which bytes it got.
class TrafficWitness {
public:
    using Clock = std::chrono::steady_clock;

    /// From here on libmodbus's prints go to a file of their own.
    void CaptureOutput() {
        std::fflush(stdout);
        std::fflush(stderr);
        m_capture = std::tmpfile();
        m_savedOut = ::dup(STDOUT_FILENO);
        m_savedErr = ::dup(STDERR_FILENO);
        if (m_capture != nullptr && m_savedOut >= 0 && m_savedErr >= 0) {
            ::dup2(::fileno(m_capture), STDOUT_FILENO);
            ::dup2(::fileno(m_capture), STDERR_FILENO);
        }
    }

    /// What the module saw, called on its own thread.
    void Observe(bool received, std::span<const std::uint8_t> bytes) {
        char line[512];
        int length =
            std::snprintf(line, sizeof line, "%9.3f ms  module %s",
                          std::chrono::duration<double, std::milli>(Clock::now() - m_start).count(),
                          received ? "took" : "sent");
        for (const std::uint8_t byte : bytes) {
            if (length + 4 >= static_cast<int>(sizeof line)) {
                break;
            }
            length += std::snprintf(line + length, sizeof line - length, " %02X", byte);
        }
        const std::lock_guard lock(m_mutex);
        m_module.emplace_back(line);
    }

    /// Puts the output back; on a failure shows both records.
    void Finish(bool failed, const ModuleStatistics& statistics) {
        std::fflush(stdout);
        std::fflush(stderr);
        if (m_savedOut >= 0) {
            ::dup2(m_savedOut, STDOUT_FILENO);
            ::close(m_savedOut);
        }
        if (m_savedErr >= 0) {
            ::dup2(m_savedErr, STDERR_FILENO);
            ::close(m_savedErr);
        }
        if (failed) {
            std::printf("--- the test's output, with libmodbus's print of every frame it sent "
                        "[..] and received <..>:\n");
            if (m_capture != nullptr) {
                std::rewind(m_capture);
                char chunk[4096];
                for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, m_capture)) > 0;) {
                    std::fwrite(chunk, 1, got, stdout);
                }
            }
            std::printf("\n--- the module's record (requests %llu, replies %llu, ignored %llu, "
                        "discarded bytes %llu):\n",
                        static_cast<unsigned long long>(statistics.requests),
                        static_cast<unsigned long long>(statistics.replies),
                        static_cast<unsigned long long>(statistics.ignored),
                        static_cast<unsigned long long>(statistics.discardedBytes));
            const std::lock_guard lock(m_mutex);
            for (const std::string& line : m_module) {
                std::printf("%s\n", line.c_str());
            }
            std::fflush(stdout);
        }
        if (m_capture != nullptr) {
            std::fclose(m_capture);
            m_capture = nullptr;
        }
    }

private:
    Clock::time_point m_start = Clock::now();
    std::FILE* m_capture = nullptr;
    int m_savedOut = -1;
    int m_savedErr = -1;
    std::mutex m_mutex;
    std::vector<std::string> m_module;
};

class ModbusPeer : public ::testing::Test {
protected:
    void SetUp() override {
        VirtualModuleOptions options;
        options.noise = 0;
        m_module = std::make_unique<VirtualModule>(options);
        m_module->SetTrafficObserver([this](bool received, std::span<const std::uint8_t> bytes) {
            m_witness.Observe(received, bytes);
        });
        ASSERT_EQ(m_module->Start(), 0);
        m_witness.CaptureOutput();
        m_master = std::make_unique<ModbusMaster>(m_module->PortPath(), 1);
        ASSERT_TRUE(m_master->IsConnected());
        m_master->SetDebug(true);
    }

    void TearDown() override {
        m_master.reset();
        m_module->Stop();
        m_witness.Finish(HasFailure(), m_module->Statistics());
    }

    VirtualModule& module() { return *m_module; }
    ModbusMaster& master() { return *m_master; }

    TrafficWitness m_witness;
    std::unique_ptr<VirtualModule> m_module;
    std::unique_ptr<ModbusMaster> m_master;
};

TEST_F(ModbusPeer, ReadsAllTwentyRegistersAsTheModuleHoldsThem) {
    for (int index = 0; index < 20; ++index) {
        module().SetRegister(index, static_cast<std::uint16_t>(1000 + 7 * index));
    }
    module().SetRegister(19, 0xFFFF);
    module().SetLoopback(false);
    const auto values = master().ReadAll();
    ASSERT_TRUE(master().LastReadAllSucceeded()) << modbus_strerror(master().LastError());
    for (int index = 0; index < 19; ++index) {
        EXPECT_EQ(values[index], 1000 + 7 * index) << "register " << index;
    }
    EXPECT_EQ(values[19], 0xFFFF);

    // A read of a window inside the map is answered too.
    std::uint16_t window[3] = {};
    ASSERT_EQ(master().Read(17, 3, window), 3);
    EXPECT_EQ(window[0], 1000 + 7 * 17);
    EXPECT_EQ(window[2], 0xFFFF);
}

TEST_F(ModbusPeer, DefaultsShowAddressAndBaudRate) {
    const auto values = master().ReadAll();
    ASSERT_TRUE(master().LastReadAllSucceeded());
    EXPECT_EQ(values[7], 1) << "device ID";
    EXPECT_EQ(values[8], 96) << "baud rate in hundreds";
}

TEST_F(ModbusPeer, OutputIsHeldToItsRangeAndFedBack) {
    ASSERT_EQ(master().Write(3, 1234), 1) << modbus_strerror(master().LastError());
    auto values = master().ReadAll();
    EXPECT_EQ(values[3], 1234);
    EXPECT_EQ(values[1], 1234);
    EXPECT_EQ(values[2], 1234);

    ASSERT_EQ(master().Write(3, 5000), 1);
    values = master().ReadAll();
    EXPECT_EQ(values[3], 2200);
    EXPECT_EQ(values[2], 2200);
}

TEST_F(ModbusPeer, FeedbackCarriesALittleNoise) {
    module().SetNoise(3, 42);
    ASSERT_EQ(master().Write(3, 1000), 1);
    bool varied = false;
    for (int poll = 0; poll < 20; ++poll) {
        const auto values = master().ReadAll();
        ASSERT_TRUE(master().LastReadAllSucceeded());
        for (const int feedback : {values[1], values[2]}) {
            EXPECT_GE(feedback, 997);
            EXPECT_LE(feedback, 1003);
            varied = varied || feedback != 1000;
        }
    }
    EXPECT_TRUE(varied) << "twenty polls without any noise";
}

TEST_F(ModbusPeer, FeedbackFollowsTheOutputThroughGainOffsetAndLag) {
    module().SetFeedbackErrors(FeedbackErrors{1.01, -5, std::chrono::milliseconds{0}});
    ASSERT_EQ(master().Write(3, 2000), 1);
    auto values = master().ReadAll();
    EXPECT_EQ(values[3], 2000);
    EXPECT_EQ(values[1], 2015);
    EXPECT_EQ(values[2], 2015);

    // With a lag the feedback travels from where it stands to the new value.
    module().SetFeedbackErrors(FeedbackErrors{1.0, 0, std::chrono::milliseconds{400}});
    ASSERT_EQ(master().Write(3, 0), 1);
    values = master().ReadAll();
    EXPECT_GT(values[2], 0);
    EXPECT_LE(values[2], 2000);
    std::this_thread::sleep_for(std::chrono::milliseconds{450});
    values = master().ReadAll();
    EXPECT_EQ(values[2], 0);
}

TEST_F(ModbusPeer, RefusesOtherFunctionsAndRegistersOutsideTheMap) {
    std::uint16_t values[20] = {};
    EXPECT_EQ(modbus_read_input_registers(master().Context(), 0, 20, values), -1);
    EXPECT_EQ(errno, EMBXILFUN);

    EXPECT_EQ(master().Read(25, 1, values), -1);
    EXPECT_EQ(master().LastError(), EMBXILADD);
    EXPECT_EQ(master().Read(10, 11, values), -1) << "reaches register 20";
    EXPECT_EQ(master().LastError(), EMBXILADD);
    EXPECT_EQ(master().Write(25, 1), -1);
    EXPECT_EQ(master().LastError(), EMBXILADD);

    EXPECT_EQ(modbus_write_bit(master().Context(), 0, 1), -1);
    EXPECT_EQ(errno, EMBXILFUN);

    // The module is still in step after the refusals.
    EXPECT_EQ(master().Read(0, 20, values), 20);
}

TEST_F(ModbusPeer, RelayFollowsBitZeroOfRegisterTen) {
    ASSERT_EQ(master().Write(10, 1), 1);
    EXPECT_EQ(module().Register(10) & 1, 1);
    EXPECT_EQ(master().ReadAll()[10], 1);
    ASSERT_EQ(master().Write(10, 0), 1);
    EXPECT_EQ(module().Register(10) & 1, 0);
    EXPECT_EQ(master().ReadAll()[10], 0);
}

TEST_F(ModbusPeer, CalibrationCommandsAreCarriedOutAndCleared) {
    ASSERT_EQ(master().Write(18, 0x6961), 1);
    ASSERT_EQ(master().Write(18, 0x6963), 1);
    auto values = master().ReadAll();
    EXPECT_EQ(values[18], 0);

    // The span goes to register 17 first and is applied by the command in 18.
    ASSERT_EQ(master().Write(17, 20500), 1);
    EXPECT_EQ(master().ReadAll()[17], 20500);
    ASSERT_EQ(master().Write(18, 0x5A53), 1);
    values = master().ReadAll();
    EXPECT_EQ(values[17], 0);
    EXPECT_EQ(values[18], 0);

    const CalibrationRecord calibration = module().Calibration();
    EXPECT_EQ(calibration.inputZeroCount, 1);
    EXPECT_EQ(calibration.input20mACount, 1);
    EXPECT_EQ(calibration.outputSpanCount, 1);
    EXPECT_EQ(calibration.outputSpan, 20500);

    // Without a span in its register the span command cannot work, and an
    // unknown command is refused.
    EXPECT_EQ(master().Write(18, 0x5A53), -1);
    EXPECT_EQ(master().LastError(), EMBXILVAL);
    EXPECT_EQ(master().Write(18, 1234), -1);
    EXPECT_EQ(master().LastError(), EMBXILVAL);
    EXPECT_EQ(module().Calibration().outputSpanCount, 1);
}

TEST_F(ModbusPeer, DeviceIdAndBaudRateTakeEffectOnlyAfterRestart) {
    ASSERT_EQ(master().Write(7, 5), 1);
    ASSERT_EQ(master().Write(8, 192), 1);
    auto values = master().ReadAll();
    ASSERT_TRUE(master().LastReadAllSucceeded()) << "still answers at address 1";
    EXPECT_EQ(values[7], 5);
    EXPECT_EQ(values[8], 192);

    module().Restart();
    EXPECT_EQ(module().Address(), 5);
    master().SetResponseTimeout(150ms);
    master().ReadAll();
    EXPECT_FALSE(master().LastReadAllSucceeded()) << "no longer answers at address 1";
    EXPECT_EQ(master().LastError(), ETIMEDOUT);

    ModbusMaster moved(module().PortPath(), 5);
    ASSERT_TRUE(moved.IsConnected());
    values = moved.ReadAll();
    ASSERT_TRUE(moved.LastReadAllSucceeded());
    EXPECT_EQ(values[7], 5);

    // Invalid values are put back at the next restart.
    ASSERT_EQ(moved.Write(7, 0), 1);
    ASSERT_EQ(moved.Write(8, 123), 1);
    module().Restart();
    EXPECT_EQ(module().Address(), 5);
    values = moved.ReadAll();
    EXPECT_EQ(values[7], 5);
    EXPECT_EQ(values[8], 192);
}

TEST_F(ModbusPeer, BroadcastWritesAreCarriedOutWithoutReply) {
    // This libmodbus still waits for a reply to a broadcast; keep that short.
    master().SetResponseTimeout(150ms);
    modbus_set_slave(master().Context(), MODBUS_BROADCAST_ADDRESS);
    master().Write(4, 77);
    modbus_set_slave(master().Context(), 1);
    ASSERT_TRUE(waitForRequests(module(), 1));
    EXPECT_EQ(module().Register(4), 77);
    EXPECT_EQ(module().Statistics().replies, 0u);

    // Nothing is left on the line to spoil the next exchange.
    master().SetResponseTimeout(ModbusMaster::GenerousTimeout);
    const auto values = master().ReadAll();
    ASSERT_TRUE(master().LastReadAllSucceeded()) << modbus_strerror(master().LastError());
    EXPECT_EQ(values[4], 77);
    EXPECT_TRUE(waitForReplies(module(), 1));

    // A broadcast read is not carried out at all.
    std::uint16_t value = 0;
    master().SetResponseTimeout(150ms);
    modbus_set_slave(master().Context(), MODBUS_BROADCAST_ADDRESS);
    master().Read(0, 1, &value);
    modbus_set_slave(master().Context(), 1);
    EXPECT_EQ(module().Statistics().replies, 1u);
}

TEST_F(ModbusPeer, ClientsMayCloseAndReopenThePort) {
    m_master.reset();
    for (int round = 0; round < 3; ++round) {
        ModbusMaster again(module().PortPath(), 1);
        ASSERT_TRUE(again.IsConnected());
        ASSERT_EQ(again.Write(0, static_cast<std::uint16_t>(round + 10)), 1);
        EXPECT_EQ(again.ReadAll()[0], round + 10);
    }
}

TEST_F(ModbusPeer, NoReplyTimesOutForTheArmedCountButTheWriteHappens) {
    master().SetResponseTimeout(150ms);
    module().Faults().Arm(Fault::NoReply, 2);
    EXPECT_EQ(master().Write(0, 11), -1);
    EXPECT_EQ(master().LastError(), ETIMEDOUT);
    ASSERT_TRUE(waitForRequests(module(), 1));
    EXPECT_EQ(module().Register(0), 11) << "the request is carried out";
    master().ReadAll();
    EXPECT_FALSE(master().LastReadAllSucceeded());
    ASSERT_TRUE(waitForRequests(module(), 2));
    EXPECT_EQ(module().Faults().Remaining(Fault::NoReply), 0);
    master().SetResponseTimeout(ModbusMaster::GenerousTimeout);
    master().ReadAll();
    EXPECT_TRUE(master().LastReadAllSucceeded()) << "the third request is answered";
}

TEST_F(ModbusPeer, AlwaysArmedFaultsStayUntilDisarmed) {
    module().Faults().ArmAlways(Fault::WrongCrc);
    for (int attempt = 0; attempt < 3; ++attempt) {
        master().ReadAll();
        EXPECT_FALSE(master().LastReadAllSucceeded());
        EXPECT_EQ(master().LastError(), EMBBADCRC);
        master().Flush();
    }
    EXPECT_EQ(module().Faults().Remaining(Fault::WrongCrc), -1);
    module().Faults().Disarm(Fault::WrongCrc);
    master().ReadAll();
    EXPECT_TRUE(master().LastReadAllSucceeded());
}

TEST_F(ModbusPeer, WrongAddressAndExceptionFaults) {
    module().Faults().Arm(Fault::WrongAddress, 1);
    master().ReadAll();
    EXPECT_FALSE(master().LastReadAllSucceeded());
    EXPECT_EQ(master().LastError(), EMBBADSLAVE);
    master().Flush();

    module().Faults().Arm(Fault::ExceptionReply, 1);
    EXPECT_EQ(master().Write(0, 99), -1);
    EXPECT_EQ(master().LastError(), EMBXSFAIL);
    EXPECT_EQ(module().Register(0), 0) << "a refused write is not carried out";

    module().Faults().SetExceptionCode(0x06);
    module().Faults().Arm(Fault::ExceptionReply, 1);
    master().ReadAll();
    EXPECT_EQ(master().LastError(), EMBXSBUSY);
}

TEST_F(ModbusPeer, SplitRepliesAreStillWholeReplies) {
    module().Faults().SetSplit(4, 15ms);
    module().Faults().Arm(Fault::SplitReply, 1);
    module().SetRegister(12, 4321);
    const auto values = master().ReadAll();
    ASSERT_TRUE(master().LastReadAllSucceeded()) << modbus_strerror(master().LastError());
    EXPECT_EQ(values[12], 4321);
}

TEST_F(ModbusPeer, LateReplyMissesTheMastersTimeOut) {
    master().SetResponseTimeout(100ms);
    module().Faults().SetLateDelay(400ms);
    module().Faults().Arm(Fault::LateReply, 1);
    master().ReadAll();
    EXPECT_FALSE(master().LastReadAllSucceeded());
    EXPECT_EQ(master().LastError(), ETIMEDOUT);

    // The reply does come, late; once it has been drained the line is in step.
    ASSERT_TRUE(waitForReplies(module(), 1));
    std::this_thread::sleep_for(20ms);
    master().Flush();
    master().SetResponseTimeout(ModbusMaster::GenerousTimeout);
    master().ReadAll();
    EXPECT_TRUE(master().LastReadAllSucceeded());
}

} // namespace
