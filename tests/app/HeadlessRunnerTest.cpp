#include "tests/poll/EngineFakes.h"

#include "app/HeadlessRunner.h"
#include "platform/system/SignalWatcher.h"

#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace {

RunnerOptions parse(const QStringList& arguments) {
    const RunnerArguments parsed = ParseRunnerArguments(arguments);
    EXPECT_TRUE(parsed.options.has_value()) << parsed.error.toStdString();
    return parsed.options.value_or(RunnerOptions{});
}

QString refusal(const QStringList& arguments) {
    const RunnerArguments parsed = ParseRunnerArguments(arguments);
    EXPECT_FALSE(parsed.options.has_value()) << arguments.join(' ').toStdString();
    return parsed.error;
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

TEST(RunnerOptions, AcceptsTheDocumentedCommandLine) {
    const RunnerOptions options =
        parse({"--headless", "--port", "/dev/ttyUSB0", "--baud", "19200", "--address=127",
               "--cycles", "3", "--write", "3=1000", "--write=19=65535", "--write", "0=0"});
    EXPECT_TRUE(options.headless);
    EXPECT_FALSE(options.simulate);
    EXPECT_EQ(options.port, "/dev/ttyUSB0");
    EXPECT_EQ(options.baudRate, br19200);
    EXPECT_EQ(options.address, 127);
    EXPECT_EQ(options.cycles, 3);
    EXPECT_EQ(options.writes, (std::vector<std::pair<int, int>>{{3, 1000}, {19, 65535}, {0, 0}}));

    const RunnerOptions defaults = parse({"--headless", "--simulate"});
    EXPECT_TRUE(defaults.simulate);
    EXPECT_EQ(defaults.baudRate, br9600);
    EXPECT_EQ(defaults.address, 1);
    EXPECT_FALSE(defaults.cycles.has_value());
    EXPECT_EQ(parse({"--headless", "--port", "p", "--baud", "14400"}).baudRate, br14400);
}

TEST(RunnerOptions, RefusesWhatIsOutOfRangeOrUnknown) {
    const QStringList base = {"--headless", "--port", "/dev/ttyS0"};
    EXPECT_TRUE(refusal(base + QStringList{"--address", "0"}).contains("1..127"));
    EXPECT_TRUE(refusal(base + QStringList{"--address", "128"}).contains("1..127"));
    EXPECT_TRUE(refusal(base + QStringList{"--address", "1x"}).contains("1..127"));
    EXPECT_TRUE(refusal(base + QStringList{"--write", "20=1"}).contains("0..19"));
    EXPECT_TRUE(refusal(base + QStringList{"--write", "-1=1"}).contains("0..19"));
    EXPECT_TRUE(refusal(base + QStringList{"--write", "3=65536"}).contains("0..65535"));
    EXPECT_TRUE(refusal(base + QStringList{"--write", "3=-5"}).contains("0..65535"));
    EXPECT_TRUE(refusal(base + QStringList{"--write", "3"}).contains("REG=VALUE"));
    EXPECT_TRUE(refusal(base + QStringList{"--baud", "9601"}).contains("9601"));
    EXPECT_TRUE(refusal(base + QStringList{"--baud", "Custom"}).contains("Custom"));
    EXPECT_TRUE(refusal(base + QStringList{"--cycles", "0"}).contains("positive"));
    EXPECT_TRUE(refusal(base + QStringList{"--parity", "even"}).contains("--parity"));
    EXPECT_TRUE(refusal(base + QStringList{"--cycles"}).contains("needs a value"));
    EXPECT_FALSE(refusal({"--headless"}).isEmpty());
    EXPECT_FALSE(refusal({"--headless", "--simulate", "--port", "/dev/ttyS0"}).isEmpty());
    EXPECT_TRUE(RunnerUsage().startsWith("usage: kestro-modbus-m --headless"));
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
    EchoingPort port;
    port.baudRate = br115200;
    RunnerOptions options = parse({"--headless", "--port", "x", "--address", "9", "--cycles", "5",
                                   "--write", "3=1000", "--write", "10=1"});
    HeadlessRunner runner(port, options, out, err);
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
    FakePort port;
    HeadlessRunner runner(port, parse({"--headless", "--port", "x", "--cycles", "2"}), out, err);
    EXPECT_EQ(runner.Run(), 0);
    const QStringList lines = contents(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[2], "Tx=2 Er=2");
    EXPECT_EQ(lines[3], "registers=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
}

TEST_F(HeadlessRunnerTest, FailedOpenReportsBothMessagesAndReturnsOne) {
    FakePort port;
    port.failOpen = true;
    HeadlessRunner runner(port, parse({"--headless", "--port", "x"}), out, err);
    EXPECT_EQ(runner.Run(), 1);
    EXPECT_EQ(
        contents(err),
        QStringLiteral("串口打开失败，串口号可能不存在，请检查设置\nUnable to open com port\n"));
    EXPECT_TRUE(contents(out).isEmpty());
}

TEST_F(HeadlessRunnerTest, InterruptSignalEndsAnEndlessRunCleanly) {
    EchoingPort port;
    port.baudRate = br115200;
    HeadlessRunner runner(port, parse({"--headless", "--port", "x"}), out, err);
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
