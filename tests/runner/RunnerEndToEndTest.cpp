// Runs the built kestro-modbus-m as a subprocess against real pseudo-terminals:
// an independent libmodbus slave behind a relay, and the built-in virtual module.

#include "platform/serial/PseudoTerminal.h"
#include "tests/runner/ToolProcess.h"
#include "tests/support/ModbusPeer.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <memory>

using namespace tooltest;

namespace {

class RunnerAgainstLibmodbus : public ::testing::Test {
protected:
    void startPeer(int address) {
        peerHolder = std::make_unique<ModbusPeer>();
        std::string reason;
        ASSERT_TRUE(peer().Start(address, reason)) << reason;
        for (int i = 0; i < 20; ++i) {
            peer().SetRegister(i, static_cast<std::uint16_t>(1000 + 111 * i));
        }
        peer().SetRegister(19, 65535);
    }
    ModbusPeer& peer() { return *peerHolder; }
    QStringList portArguments() const {
        return {"--headless", "--port", QString::fromStdString(peerHolder->MasterPortPath())};
    }
    static QString expectedRegisters() {
        QStringList values;
        for (int i = 0; i < 19; ++i) {
            values.append(QString::number(1000 + 111 * i));
        }
        values.append("65535");
        return "registers=" + values.join(',');
    }

    std::unique_ptr<ModbusPeer> peerHolder;
};

TEST_F(RunnerAgainstLibmodbus, ReadsTheRegistersOfSlavesOneTwoAndOneTwentySeven) {
    const std::vector<std::pair<int, QString>> cases = {
        {1, "01 03 00 00 00 14 45 C5"},
        {2, "02 03 00 00 00 14 45 F6"},
        {127, "7F 03 00 00 00 14 4F DB"},
    };
    for (const auto& [address, request] : cases) {
        startPeer(address);
        const RunResult result = runTool(
            portArguments() + QStringList{"--address", QString::number(address), "--cycles", "3"});
        ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
        const QStringList sent = linesStartingWith(result.lines, "Tx-");
        ASSERT_EQ(sent.size(), 3);
        for (const QString& line : sent) {
            EXPECT_TRUE(line.contains(QRegularExpression("^Tx-\\d\\d:\\d\\d\\d> ")));
            EXPECT_EQ(trafficBytes(line), request);
        }
        const QStringList received = linesStartingWith(result.lines, "Rx-");
        ASSERT_EQ(received.size(), 3);
        EXPECT_TRUE(trafficBytes(received[0]).startsWith(request.left(2) + " 03 28 03 E8"));
        EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=3 Er=0");
        EXPECT_EQ(result.lines.last(), expectedRegisters());
    }
}

TEST_F(RunnerAgainstLibmodbus, QueuedWritesReachTheSlaveBetweenReads) {
    startPeer(1);
    const RunResult result = runTool(
        portArguments() + QStringList{"--cycles", "5", "--write", "3=1234", "--write", "10=1"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(peer().Register(3), 1234);
    EXPECT_EQ(peer().Register(10), 1);
    const QStringList sent = linesStartingWith(result.lines, "Tx-");
    ASSERT_EQ(sent.size(), 5);
    // A read first, then each write followed by a read.
    EXPECT_TRUE(trafficBytes(sent[0]).startsWith("01 03"));
    EXPECT_EQ(trafficBytes(sent[1]), "01 06 00 03 04 D2 FB 57");
    EXPECT_TRUE(trafficBytes(sent[2]).startsWith("01 03"));
    EXPECT_TRUE(trafficBytes(sent[3]).startsWith("01 06 00 0A 00 01"));
    EXPECT_TRUE(trafficBytes(sent[4]).startsWith("01 03"));
    // The echo of the write is logged like any reply.
    EXPECT_EQ(trafficBytes(linesStartingWith(result.lines, "Rx-").value(1)),
              "01 06 00 03 04 D2 FB 57");
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=5 Er=0");
    EXPECT_TRUE(result.lines.last().startsWith("registers=1000,1111,1222,1234,"));
}

TEST_F(RunnerAgainstLibmodbus, AnEchoingLineInFrontOfTheSlaveIsReadAndWrittenAsAnyOther) {
    startPeer(1);
    peer().SetEcho(true);
    const RunResult result = runTool(
        portArguments() + QStringList{"--cycles", "5", "--write", "3=1234", "--write", "10=1"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(peer().Register(3), 1234);
    EXPECT_EQ(peer().Register(10), 1);
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=5 Er=0");
    EXPECT_TRUE(result.lines.last().startsWith("registers=1000,1111,1222,1234,"));
    // The traffic shows only what the slave sent: each reply once, no echo.
    const QStringList received = linesStartingWith(result.lines, "Rx-");
    ASSERT_EQ(received.size(), 5);
    EXPECT_TRUE(trafficBytes(received[0]).startsWith("01 03 28 03 E8"));
    EXPECT_EQ(trafficBytes(received[1]), "01 06 00 03 04 D2 FB 57");
    EXPECT_EQ(result.errors, "The line echoes every request (an RS-485 adapter with local echo); "
                             "the echo is dropped.\n");
}

TEST_F(RunnerAgainstLibmodbus, DroppedAndCorruptedRepliesAreCountedAsMissed) {
    startPeer(1);
    peer().DropReplyTo(2);
    peer().CorruptReplyTo(3);
    const RunResult result = runTool(portArguments() + QStringList{"--cycles", "4"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(linesStartingWith(result.lines, "Tx-").size(), 4);
    // The corrupted reply is still shown to the operator, the dropped one is not.
    EXPECT_EQ(linesStartingWith(result.lines, "Rx-").size(), 3);
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=4 Er=2");
    EXPECT_EQ(result.lines.last(), expectedRegisters());
}

TEST_F(RunnerAgainstLibmodbus, TerminateEndsAnEndlessRunWithTheSummary) {
    startPeer(1);
    QProcess process;
    process.start(QStringLiteral(KESTRO_MODBUS_M_PATH), portArguments());
    ASSERT_TRUE(process.waitForStarted(ProcessTimeoutMs));
    QByteArray output;
    while (output.count("Rx-") < 3 && process.waitForReadyRead(ProcessTimeoutMs)) {
        output += process.readAllStandardOutput();
    }
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    output += process.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    const qsizetype sent = linesStartingWith(lines, "Tx-").size();
    EXPECT_EQ(lines.value(lines.size() - 2), QStringLiteral("Tx=%1 Er=0").arg(sent));
    EXPECT_EQ(lines.last(), expectedRegisters());
}

struct FaultCase {
    const char* fault;
    int misses;
    int replyLines; // -1: depends on how the bytes are split on the way
};

TEST(RunnerAgainstVirtualModule, InjectedFaultsShowInTheCounters) {
    const std::vector<FaultCase> cases = {
        {"no-reply:2", 2, 1},  {"wrong-crc:1", 1, 3}, {"wrong-address:1", 1, 3},
        {"exception:1", 1, 3}, {"split:1", 0, 3},     {"trailing:1", 0, -1},
        {"burst:1", 0, -1},
    };
    for (const FaultCase& current : cases) {
        SCOPED_TRACE(current.fault);
        // Split replies come in 5-byte pieces 10 ms apart, well inside the time-out.
        ModuleProcess module({"--fault", current.fault, "--split", "5:10"});
        ASSERT_TRUE(module.path().startsWith("/dev/"));
        const RunResult result = runTool({"--headless", "--port", module.path(), "--cycles", "3"});
        ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
        EXPECT_EQ(linesStartingWith(result.lines, "Tx-").size(), 3);
        if (current.replyLines >= 0) {
            EXPECT_EQ(linesStartingWith(result.lines, "Rx-").size(), current.replyLines);
        }
        EXPECT_EQ(result.lines.value(result.lines.size() - 2),
                  QStringLiteral("Tx=3 Er=%1").arg(current.misses));
    }
}

TEST(RunnerAgainstVirtualModule, ExceptionReplyIsShownAsTheSlaveSentIt) {
    ModuleProcess module({"--fault", "exception:1", "--exception-code", "2"});
    const RunResult result = runTool({"--headless", "--port", module.path(), "--cycles", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QStringList received = linesStartingWith(result.lines, "Rx-");
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(trafficBytes(received[0]), "01 83 02 C0 F1");
}

// The rows of a recording that carry the verdict, without their times.
QStringList recordedRows(const QString& path, const QString& verdict) {
    QFile file(path);
    QStringList rows;
    if (!file.open(QIODevice::ReadOnly)) {
        return rows;
    }
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        const QStringList fields = line.split(',');
        if (fields.size() == 6 && fields[4] == verdict) {
            rows.append(fields.mid(2, 3).join(','));
        }
    }
    return rows;
}

// The tool running in the background, its output collected as it comes.
class RunningTool {
public:
    explicit RunningTool(const QStringList& arguments) {
        m_process.start(QStringLiteral(KESTRO_MODBUS_M_PATH), arguments);
        m_process.waitForStarted(ProcessTimeoutMs);
    }
    ~RunningTool() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // Collects output until the condition holds; false when time ran out.
    bool waitUntil(const std::function<bool()>& condition, int milliseconds = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > milliseconds || m_process.state() == QProcess::NotRunning) {
                collect();
                return condition();
            }
            m_process.waitForReadyRead(20);
            collect();
        }
        return true;
    }
    // Ends the run as SIGTERM does and collects the rest.
    int finish() {
        m_process.terminate();
        m_process.waitForFinished(ProcessTimeoutMs);
        collect();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QStringList lines() const { return QString::fromUtf8(m_out).split('\n', Qt::SkipEmptyParts); }
    QStringList errorLines() const {
        return QString::fromUtf8(m_err).split('\n', Qt::SkipEmptyParts);
    }
    qsizetype count(const char* text) const { return m_out.count(text); }

private:
    void collect() {
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
    }

    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

// The longest run of requests without a reply between them.
int longestRunOfRequests(const QStringList& lines) {
    int longest = 0;
    int run = 0;
    for (const QString& line : lines) {
        run = line.startsWith("Tx-") ? run + 1 : (line.startsWith("Rx-") ? 0 : run);
        longest = std::max(longest, run);
    }
    return longest;
}

TEST(RunnerAgainstVirtualModule, LineThatGoesAwayIsToldOnceAndTheRunGoesOn) {
    // The far end of the line closes under the running tool, as when a USB
    // adapter is pulled out: every later write fails.
    ModuleProcess module({"--baud", "115200"});
    RunningTool tool({"--headless", "--port", module.path(), "--baud", "115200"});
    ASSERT_TRUE(tool.waitUntil([&] { return tool.count("Rx-") >= 1; }));
    module.stop();
    ASSERT_TRUE(tool.waitUntil([&] { return !tool.errorLines().isEmpty(); }));
    const qsizetype sentAtLoss = tool.count("Tx-");
    // A pseudo-terminal's number goes to the next one opened; the tool must
    // not take that one for its line come back. Now that the tool has let go
    // of its end, open terminals until one gets the module's old number
    // (others may take it first).
    std::vector<std::unique_ptr<PseudoTerminal>> strangers;
    for (int attempt = 0; attempt < 20; ++attempt) {
        strangers.push_back(std::make_unique<PseudoTerminal>());
        strangers.back()->Open(true);
        if (strangers.back()->SlavePath() == module.path().toStdString()) {
            break;
        }
    }
    // Past the time a re-opening would take, the run goes on at the reply
    // time-out, every request counted as missed.
    tool.waitUntil([] { return false; }, 2200);
    ASSERT_EQ(tool.finish(), 0);
    const QStringList lines = tool.lines();
    ASSERT_GE(lines.size(), 2);
    const qsizetype sent = linesStartingWith(lines, "Tx-").size();
    EXPECT_GE(sent, sentAtLoss + 3);
    const QStringList counters = lines.value(lines.size() - 2).split(' ');
    ASSERT_EQ(counters.size(), 2);
    EXPECT_EQ(counters[0], QStringLiteral("Tx=%1").arg(sent));
    EXPECT_GE(counters[1].mid(3).toInt(), sent - sentAtLoss);
    // The reason reaches the operator once, not once per request.
    EXPECT_EQ(tool.errorLines(),
              QStringList{"The port stopped working; the adapter may have been unplugged."});
}

TEST(RunnerAgainstVirtualModule, AnAdapterPluggedBackInIsPolledAgainWithoutARestart) {
    QTemporaryDir folder;
    const QString link = folder.filePath("usb-KESTRO_module-if00");
    ModuleProcess module({"--baud", "115200", "--link", link});
    ASSERT_FALSE(module.path().isEmpty());
    const QString recording = folder.filePath("traffic.csv");
    RunningTool tool({"--headless", "--port", link, "--baud", "115200", "--record", recording});
    ASSERT_TRUE(tool.waitUntil([&] { return tool.count("Rx-") >= 3; }));

    module.signal(SIGUSR2);
    ASSERT_TRUE(tool.waitUntil([&] { return tool.errorLines().size() == 1; }));
    // Away for a while: the run goes on, every request counted as missed.
    const qsizetype repliesBefore = tool.count("Rx-");
    tool.waitUntil([] { return false; }, 1200);
    EXPECT_EQ(tool.count("Rx-"), repliesBefore);

    module.signal(SIGUSR1);
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(tool.waitUntil([&] { return tool.count("Rx-") > repliesBefore + 2; }));
    EXPECT_LT(back.elapsed(), 2000) << "the poll must resume within 2 s of the line's return";
    ASSERT_EQ(tool.finish(), 0);

    // One line each way on standard error.
    const QStringList errors = tool.errorLines();
    ASSERT_EQ(errors.size(), 2) << errors.join('\n').toStdString();
    EXPECT_EQ(errors[0], "The port stopped working; the adapter may have been unplugged. Trying "
                         "to open it again every second.");
    EXPECT_TRUE(errors[1].startsWith("The line is back after ")) << errors[1].toStdString();
    // The counters went on through the gap and the traffic shows it.
    const QStringList lines = tool.lines();
    ASSERT_GE(lines.size(), 2);
    const qsizetype sent = linesStartingWith(lines, "Tx-").size();
    const QStringList counters = lines[lines.size() - 2].split(' ');
    ASSERT_EQ(counters.size(), 2);
    EXPECT_EQ(counters[0], QStringLiteral("Tx=%1").arg(sent));
    // Every request of the gap but the last before the return went unanswered.
    EXPECT_GE(longestRunOfRequests(lines), 3);
    EXPECT_GE(counters[1].mid(3).toInt(), longestRunOfRequests(lines) - 1);
    // The recording marks where the line went and came back.
    EXPECT_EQ(recordedRows(recording, "line-lost"), QStringList{"--,,line-lost"});
    EXPECT_EQ(recordedRows(recording, "line-back"), QStringList{"--,,line-back"});
    EXPECT_GE(recordedRows(recording, "write-failed").size(), 2);
}

TEST(RunnerAgainstVirtualModule, AnEchoingLineIsReadAndWrittenAsAnyOther) {
    ModuleProcess module({"--echo", "--noise", "0"});
    QTemporaryDir folder;
    const QString recording = folder.filePath("traffic.csv");
    const RunResult result =
        runTool({"--headless", "--port", module.path(), "--cycles", "6", "--write", "3=1000",
                 "--write", "10=1", "--record", recording});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=6 Er=0");
    const QStringList registers = result.lines.last().mid(QString("registers=").size()).split(',');
    ASSERT_EQ(registers.size(), 20);
    EXPECT_EQ(registers[1], "1000"); // the feedback follows the output written
    EXPECT_EQ(registers[3], "1000");
    EXPECT_EQ(registers[10], "1");
    const QStringList received = linesStartingWith(result.lines, "Rx-");
    ASSERT_EQ(received.size(), 6);
    for (const QString& line : received) {
        EXPECT_NE(trafficBytes(line), "01 03 00 00 00 14 45 C5");
    }
    EXPECT_EQ(result.errors.count('\n'), 1) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.startsWith("The line echoes")) << result.errors.toStdString();
    // The recording keeps the echoes, marked as such.
    const QStringList echoes = recordedRows(recording, "echo");
    ASSERT_EQ(echoes.size(), 6);
    EXPECT_EQ(echoes[0], "Rx,01 03 00 00 00 14 45 C5,echo");
    EXPECT_EQ(echoes[1], "Rx,01 06 00 03 03 E8 79 74,echo");
    EXPECT_EQ(recordedRows(recording, "ok").size(), 6);
}

TEST(RunnerAgainstVirtualModule, SimulateRunsTheBuiltInModule) {
    RunResult result = runTool(
        {"--headless", "--simulate", "--cycles", "6", "--write", "3=1000", "--write", "5=1"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=6 Er=0");
    const QStringList registers = result.lines.last().mid(QString("registers=").size()).split(',');
    ASSERT_EQ(registers.size(), 20);
    EXPECT_EQ(registers[3], "1000");
    EXPECT_EQ(registers[5], "1");

    // Without a display, --simulate alone says so and polls 20 times.
    result = runTool({"--simulate"});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(linesStartingWith(result.lines, "Tx-").size(), 20);
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=20 Er=0");
    EXPECT_TRUE(result.errors.contains("no display")) << result.errors.toStdString();
}

TEST(RunnerCommandLine, RefusesBadOptionsAndMissingPorts) {
    RunResult result = runTool({"--headless", "--port", "/dev/kestro-no-such-port"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.startsWith("串口打开失败，串口号可能不存在，请检查设置\n"));
    EXPECT_GT(result.errors.count('\n'), 1); // the port's own reason follows
    EXPECT_TRUE(result.lines.isEmpty());

    for (const QStringList& bad :
         {QStringList{"--headless", "--port", "x", "--address", "128"},
          QStringList{"--headless", "--port", "x", "--write", "20=1"},
          QStringList{"--headless", "--port", "x", "--write", "1=65536"},
          QStringList{"--headless", "--port", "x", "--baud", "12345"}, QStringList{"--headless"},
          QStringList{"--bogus"}, QStringList{"--headless", "--simulate", "--scan"},
          QStringList{"--headless", "--port", "x", "--scan", "--cycles", "3"},
          QStringList{"--headless", "--port", "x", "--scan", "--write", "3=1"},
          QStringList{"--headless", "--port", "x", "--scan", "--baud", "9600", "--baud",
                      "14400"}}) {
        result = runTool(bad);
        EXPECT_EQ(result.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(result.errors.contains("usage: kestro-modbus-m"))
            << bad.join(' ').toStdString();
        EXPECT_TRUE(result.lines.isEmpty());
    }
}

} // namespace
