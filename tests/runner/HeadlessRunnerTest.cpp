#include "tests/poll/EngineFakes.h"

#include "platform/system/SignalWatcher.h"
#include "runner/HeadlessRunner.h"
#include "runner/TestRunner.h"

#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// --headless --port x [--cycles N]
RunnerOptions portOptions(std::optional<int> cycles = std::nullopt) {
    RunnerOptions options;
    options.headless = true;
    options.port = QStringLiteral("x");
    options.cycles = cycles;
    return options;
}

// Everything written to a temporary stream so far.
QString contents(std::FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    QByteArray text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        text.append(buffer, static_cast<qsizetype>(got));
    }
    return QString::fromUtf8(text);
}

class HeadlessRunnerTest : public ::testing::Test {
protected:
    ~HeadlessRunnerTest() override {
        std::fclose(out);
        std::fclose(err);
    }
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
};

TEST_F(HeadlessRunnerTest, RunsTheCyclesWithQueuedWritesBetweenReads) {
    auto line = std::make_unique<EchoingPort>();
    EchoingPort& port = *line;
    port.baudRate = br115200;
    RunnerOptions options = portOptions();
    options.address = 9;
    options.cycles = 5;
    options.writes = {{3, 1000}, {10, 1}};
    HeadlessRunner runner(std::move(line), options, out, err);
    EXPECT_EQ(runner.Run(), 0);
    EXPECT_FALSE(port.connected);

    ASSERT_EQ(port.written.size(), 5U);
    // A read first, then each write followed by at least one read.
    const std::array<int, 5> functions = {0x03, 0x06, 0x03, 0x06, 0x03};
    for (std::size_t i = 0; i < functions.size(); ++i) {
        EXPECT_EQ(port.written[i][0], 9);
        EXPECT_EQ(port.written[i][1], functions[i]) << i;
    }
    EXPECT_EQ(port.written[1][3], 3);
    EXPECT_EQ(port.written[3][3], 10);

    const QStringList lines = contents(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_TRUE(lines[0].contains(QRegularExpression("^Tx-\\d\\d:\\d\\d\\d> 09 03 00 00 00 14")));
    EXPECT_TRUE(lines[2].contains(QRegularExpression("^Tx-\\d\\d:\\d\\d\\d> 09 06 00 03 03 E8")));
    EXPECT_TRUE(lines[3].startsWith("Rx-"));
    EXPECT_EQ(lines[10], "Tx=5 Er=0");
    // The last read was the third, answered with 3, 4, ... 22.
    EXPECT_EQ(lines[11], "registers=3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22");
    EXPECT_TRUE(contents(err).isEmpty());
}

TEST_F(HeadlessRunnerTest, SilentSlaveCountsEveryRequestAsMissed) {
    HeadlessRunner runner(std::make_unique<FakePort>(), portOptions(2), out, err);
    EXPECT_EQ(runner.Run(), 0);
    const QStringList lines = contents(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[2], "Tx=2 Er=2");
    EXPECT_EQ(lines[3], "registers=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
}

TEST_F(HeadlessRunnerTest, FailedOpenReportsBothMessagesAndReturnsOne) {
    auto line = std::make_unique<FakePort>();
    FakePort& port = *line;
    port.failOpen = true;
    HeadlessRunner runner(std::move(line), portOptions(), out, err);
    EXPECT_EQ(runner.Run(), 1);
    EXPECT_EQ(
        contents(err),
        QStringLiteral("串口打开失败，串口号可能不存在，请检查设置\nUnable to open com port\n"));
    EXPECT_TRUE(contents(out).isEmpty());
}

TEST_F(HeadlessRunnerTest, InterruptSignalEndsAnEndlessRunCleanly) {
    auto line = std::make_unique<EchoingPort>();
    EchoingPort& port = *line;
    port.baudRate = br115200;
    HeadlessRunner runner(std::move(line), portOptions(), out, err);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::interrupted, [&runner] { runner.Interrupt(); });
    // Raise the signal once the loop has been going for a while.
    QTimer poller;
    QObject::connect(&poller, &QTimer::timeout, [&] {
        if (port.written.size() >= 10) {
            poller.stop();
            std::raise(SIGTERM);
        }
    });
    poller.start(1);
    EXPECT_EQ(runner.Run(), 0);
    EXPECT_FALSE(port.connected);
    const QStringList lines = contents(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("Tx=%1 Er=0").arg(port.written.size()));
}

} // namespace

namespace {

TEST_F(HeadlessRunnerTest, AFunctionTestWhoseReportCannotBeWrittenNeverOpensTheLine) {
    auto line = std::make_unique<FakePort>();
    FakePort& port = *line;
    RunnerOptions options = portOptions();
    options.test.run = true;
    options.test.serial = QStringLiteral("KM-1");
    options.test.reportDir = QStringLiteral("/nonexistent/reports");
    TestRunner runner(std::move(line), options, LoadTestPlan(QString()), out, err);
    EXPECT_EQ(runner.Run(), TestRunner::ExitCannotRun);
    EXPECT_EQ(port.connectedChanges, 0);
    EXPECT_TRUE(port.written.empty());
    EXPECT_TRUE(
        contents(err).startsWith("kestro-modbus-m: cannot write reports: /nonexistent/reports"))
        << contents(err).toStdString();
}

} // namespace
