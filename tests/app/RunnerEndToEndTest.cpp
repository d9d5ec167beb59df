// Runs the built kestro-modbus-m as a subprocess against real pseudo-terminals:
// an independent libmodbus slave behind a relay, and the built-in virtual module.

#include "tests/app/ToolProcess.h"
#include "tests/support/ModbusPeer.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

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
    EXPECT_EQ(trafficBytes(sent[0]), "01 06 00 03 04 D2 FB 57");
    EXPECT_TRUE(trafficBytes(sent[1]).startsWith("01 03"));
    EXPECT_TRUE(trafficBytes(sent[2]).startsWith("01 06 00 0A 00 01"));
    EXPECT_TRUE(trafficBytes(sent[3]).startsWith("01 03"));
    // The echo of the write is logged like any reply.
    EXPECT_EQ(trafficBytes(linesStartingWith(result.lines, "Rx-").value(0)),
              "01 06 00 03 04 D2 FB 57");
    EXPECT_EQ(result.lines.value(result.lines.size() - 2), "Tx=5 Er=0");
    EXPECT_TRUE(result.lines.last().startsWith("registers=1000,1111,1222,1234,"));
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

TEST(RunnerAgainstVirtualModule, LineThatGoesAwayIsToldOnceAndTheRunGoesOn) {
    // The far end of the line closes under the running tool, as when a USB
    // adapter is pulled out: every later write fails.
    ModuleProcess module({"--baud", "115200"});
    QProcess tool;
    tool.start(QStringLiteral(KESTRO_MODBUS_M_PATH),
               {"--headless", "--port", module.path(), "--baud", "115200", "--cycles", "6"});
    ASSERT_TRUE(tool.waitForStarted(ProcessTimeoutMs));
    QByteArray output;
    while (!output.contains("Rx-") && tool.waitForReadyRead(ProcessTimeoutMs)) {
        output += tool.readAllStandardOutput();
    }
    module.stop();
    ASSERT_TRUE(tool.waitForFinished(ProcessTimeoutMs));
    EXPECT_EQ(tool.exitCode(), 0);
    output += tool.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.value(lines.size() - 2).startsWith("Tx=6 Er="))
        << lines.join('\n').toStdString();
    EXPECT_EQ(linesStartingWith(lines, "Tx-").size(), 6);
    // The reason reaches the operator once, not once per request.
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    EXPECT_EQ(errors.count('\n'), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains("unplugged")) << errors.toStdString();
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

    for (const QStringList& bad : {QStringList{"--headless", "--port", "x", "--address", "128"},
                                   QStringList{"--headless", "--port", "x", "--write", "20=1"},
                                   QStringList{"--headless", "--port", "x", "--write", "1=65536"},
                                   QStringList{"--headless", "--port", "x", "--baud", "12345"},
                                   QStringList{"--headless"}, QStringList{"--bogus"}}) {
        result = runTool(bad);
        EXPECT_EQ(result.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(result.errors.contains("usage: kestro-modbus-m"))
            << bad.join(' ').toStdString();
        EXPECT_TRUE(result.lines.isEmpty());
    }
}

} // namespace
