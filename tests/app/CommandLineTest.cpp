#include "app/CommandLine.h"

#include <gtest/gtest.h>

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

} // namespace
