// Options of kestro-virtual-module, and the program itself run as a process.

#include "sim/CommandLine.h"
#include "tests/sim/ModbusMaster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

extern char** environ;

namespace {

TEST(CommandLine, FullCommandLineSetsModuleAndFaults) {
    // clang-format off
    const auto options = ParseCommandLine({
        "--address", "17", "-b", "19200", "--pace", "line", "--noise", "0",
        "--fault", "no-reply:3", "-f", "burst", "--split", "4:25", "--late-ms", "250",
        "--exception-code", "6", "--trailing", "2", "--burst", "150", "--strict-baud", "-v",
        "--echo", "--link", "/tmp/by-id/usb-KESTRO-if00"});
    // clang-format on
    ASSERT_TRUE(options.error.empty()) << options.error;
    EXPECT_EQ(options.module.address, 17);
    EXPECT_EQ(options.module.baudRate, 19200u);
    EXPECT_EQ(options.module.pacing, Pacing::Line);
    EXPECT_EQ(options.module.noise, 0);
    EXPECT_TRUE(options.module.strictBaudRate);
    EXPECT_TRUE(options.module.echo);
    EXPECT_EQ(options.module.link, "/tmp/by-id/usb-KESTRO-if00");
    EXPECT_TRUE(options.verbose);
    EXPECT_FALSE(options.help);

    FaultInjector faults;
    ApplyFaultOptions(options, faults);
    EXPECT_EQ(faults.Remaining(Fault::NoReply), 3);
    EXPECT_EQ(faults.Remaining(Fault::Burst), -1);
    EXPECT_EQ(faults.Remaining(Fault::LateReply), 0);
    const FaultPlan plan = faults.TakeForRequest();
    EXPECT_TRUE(plan.Has(Fault::NoReply));
    EXPECT_TRUE(plan.Has(Fault::Burst));
    EXPECT_FALSE(plan.Has(Fault::WrongCrc));
    EXPECT_EQ(plan.splitChunkSize, 4u);
    EXPECT_EQ(plan.splitGap, 25ms);
    EXPECT_EQ(plan.lateDelay, 250ms);
    EXPECT_EQ(plan.exceptionCode, 6);
    EXPECT_EQ(plan.trailingByteCount, 2u);
    EXPECT_EQ(plan.burstSize, 150u);
    EXPECT_EQ(faults.Remaining(Fault::NoReply), 2);

    const auto feedback = ParseCommandLine(
        {"--feedback-gain", "1.01", "--feedback-offset", "-12", "--feedback-lag", "750"});
    ASSERT_TRUE(feedback.error.empty()) << feedback.error;
    EXPECT_EQ(feedback.module.feedback, (FeedbackErrors{1.01, -12, 750ms}));
    EXPECT_EQ(options.module.feedback, FeedbackErrors{});

    const auto fixed = ParseCommandLine({"-p", "4800"});
    EXPECT_EQ(fixed.module.pacing, Pacing::Fixed);
    EXPECT_EQ(fixed.module.baudRate, 4800u);
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(CommandLine, UnsoundArgumentsAreReportedNotGuessed) {
    for (const auto& arguments : std::vector<std::vector<std::string_view>>{
             {"--address", "0"},
             {"--address", "248"},
             {"--address", "12x"},
             {"--address"},
             {"--pace", "fast"},
             {"--fault", "gremlins"},
             {"--fault", "late:0"},
             {"--split", "0:10"},
             {"--split", "3:"},
             {"--burst", "100"},
             {"--feedback-gain", "10.5"},
             {"--feedback-gain", "-1"},
             {"--feedback-gain", "1,01"},
             {"--feedback-offset", "1.5"},
             {"--feedback-offset", "70000"},
             {"--feedback-lag", "60001"},
             {"--feedback-lag", "-5"},
             {"--link"},
             {"--link", ""},
             {"--bus", "--pace", "line"},
             {"--tap-latency", "16"},
             {"--bus", "--tap-latency", "0"},
             {"--frobnicate"},
         }) {
        const auto options = ParseCommandLine(arguments);
        EXPECT_FALSE(options.error.empty()) << arguments.front() << " " << arguments.size();
    }
}

// Runs the program with its standard output on a pipe.
class Program {
public:
    explicit Program(std::vector<std::string> arguments) {
        int pipeEnds[2] = {-1, -1};
        if (::pipe(pipeEnds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        arguments.insert(arguments.begin(), VIRTUAL_MODULE_PROGRAM);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, VIRTUAL_MODULE_PROGRAM, &actions, nullptr, argv.data(), environ) !=
            0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        m_output = ::fdopen(pipeEnds[0], "r");
    }
    ~Program() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output != nullptr) {
            std::fclose(m_output);
        }
    }

    std::string ReadLine() {
        char line[4096] = {};
        if (m_output == nullptr || std::fgets(line, sizeof line, m_output) == nullptr) {
            return {};
        }
        std::string text(line);
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text;
    }

    void Signal(int signal) { ::kill(m_pid, signal); }

    /// The exit code, or -1 when the program does not end within the time.
    int Wait(std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    FILE* m_output = nullptr;
};

TEST(VirtualModuleProgram, ServesItsPortUntilTerminatedAndRestartsOnHangUp) {
    Program program({"--address", "7", "--noise", "0"});
    const std::string path = program.ReadLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "first line: \"" << path << "\"";
    {
        ModbusMaster master(path, 7);
        ASSERT_TRUE(master.IsConnected());
        ASSERT_EQ(master.Write(3, 1500), 1);
        const auto values = master.ReadAll();
        ASSERT_TRUE(master.LastReadAllSucceeded()) << modbus_strerror(master.LastError());
        EXPECT_EQ(values[7], 7);
        EXPECT_EQ(values[2], 1500);
        ASSERT_EQ(master.Write(7, 9), 1);
    }
    program.Signal(SIGHUP);
    ModbusMaster moved(path, 9);
    ASSERT_TRUE(moved.IsConnected());
    moved.SetResponseTimeout(100ms);
    bool answered = false;
    for (int attempt = 0; attempt < 50 && !answered; ++attempt) {
        moved.ReadAll();
        answered = moved.LastReadAllSucceeded();
    }
    EXPECT_TRUE(answered) << "the new device ID took effect at the restart";

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(10s), 0);
}

// With --bus the module sits on an emulated bus: what a master on the first
// port sends and the module answers reaches the listener's port, the second.
TEST(VirtualModuleProgram, OnABusTheListenersPortHearsTheMasterAndTheModule) {
    Program program({"--bus", "--noise", "0", "-b", "115200", "--tap-latency", "16"});
    const std::string masterPath = program.ReadLine();
    const std::string tapPath = program.ReadLine();
    ASSERT_EQ(tapPath.rfind("/dev/", 0), 0u) << "second line: \"" << tapPath << "\"";
    const int tap = ::open(tapPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(tap, 0);
    termios raw{};
    ::tcgetattr(tap, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(tap, TCSANOW, &raw);
    {
        ModbusMaster master(masterPath, 1, 115200);
        ASSERT_TRUE(master.IsConnected());
        for (int poll = 0; poll < 3; ++poll) {
            master.ReadAll();
            ASSERT_TRUE(master.LastReadAllSucceeded()) << modbus_strerror(master.LastError());
        }
    }
    // Three requests of 8 bytes and three replies of 45.
    std::vector<std::uint8_t> heard;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (heard.size() < 3 * (8 + 45) && std::chrono::steady_clock::now() < deadline) {
        std::uint8_t chunk[256];
        const ssize_t got = ::read(tap, chunk, sizeof chunk);
        if (got > 0) {
            heard.insert(heard.end(), chunk, chunk + got);
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    ::close(tap);
    ASSERT_EQ(heard.size(), 3u * (8 + 45));
    const std::vector<std::uint8_t> request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};
    EXPECT_TRUE(std::equal(request.begin(), request.end(), heard.begin()));
    EXPECT_EQ(heard[8], 0x01);
    EXPECT_EQ(heard[9], 0x03);
    EXPECT_EQ(heard[10], 40);
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(10s), 0);
}

TEST(VirtualModuleProgram, HelpAndBadOptions) {
    Program help({"--help"});
    EXPECT_EQ(help.ReadLine().rfind("Usage: kestro-virtual-module", 0), 0u);
    EXPECT_EQ(help.Wait(10s), 0);

    Program wrong({"--address", "300"});
    EXPECT_EQ(wrong.ReadLine(), "") << "nothing on standard output";
    EXPECT_EQ(wrong.Wait(10s), 2);
}

} // namespace
