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

namespace {

TEST(RunnerOptions, ANetworkLineStandsInForThePortWithTheRateBehindIt) {
    const struct {
        QStringList arguments;
        NetworkFraming framing;
        QString host;
        int port;
        std::optional<TBaudRate> gatewayRate;
    } cases[] = {
        // A Modbus TCP device without --baud speaks it itself: no rate behind it.
        {{"--tcp", "192.0.2.7"}, NetworkFraming::ModbusTcp, "192.0.2.7", 502, std::nullopt},
        {{"--tcp=gw.lan:1502", "--baud", "19200"},
         NetworkFraming::ModbusTcp,
         "gw.lan",
         1502,
         br19200},
        // A device server always has a serial line behind it, 9600 by default.
        {{"--rtu-over-tcp", "[2001:db8::7]:4001"},
         NetworkFraming::RtuOverTcp,
         "2001:db8::7",
         4001,
         br9600},
        {{"--rtu-over-tcp", "::1"}, NetworkFraming::RtuOverTcp, "::1", 502, br9600},
    };
    for (const auto& [arguments, framing, host, port, gatewayRate] : cases) {
        const RunnerOptions options = parse(QStringList{"--headless"} + arguments);
        ASSERT_TRUE(options.network.has_value()) << arguments.join(' ').toStdString();
        EXPECT_EQ(options.network->framing, framing);
        EXPECT_EQ(options.network->endpoint, (NetEndpoint{host, static_cast<std::uint16_t>(port)}));
        EXPECT_EQ(options.network->gatewayRate, gatewayRate) << arguments.join(' ').toStdString();
        EXPECT_TRUE(options.port.isEmpty());
    }
    // A scan asks at the one rate the line has.
    EXPECT_EQ(parse({"--headless", "--tcp", "gw", "--scan"}).scanRates,
              std::vector<TBaudRate>{NativeDeviceRate});
    EXPECT_EQ(parse({"--headless", "--rtu-over-tcp", "gw", "--scan", "--baud", "38400"}).scanRates,
              std::vector<TBaudRate>{br38400});
}

TEST(RunnerOptions, RefusesABadNetworkLine) {
    const struct {
        QStringList arguments;
        const char* said;
    } cases[] = {
        {{"--tcp", "host:0"}, "1..65535"},
        {{"--tcp", "host:65536"}, "1..65535"},
        {{"--tcp", "host:12x"}, "1..65535"},
        {{"--rtu-over-tcp", "[::1]:99999"}, "1..65535"},
        {{"--tcp", ""}, "HOST[:PORT]"},
        {{"--tcp", ":502"}, "HOST[:PORT]"},
        {{"--tcp", "[::1"}, "HOST[:PORT]"},
        {{"--tcp"}, "needs a value"},
        {{"--tcp", "a", "--port", "/dev/ttyUSB0"}, "--tcp and --port exclude each other"},
        {{"--port", "/dev/ttyUSB0", "--rtu-over-tcp", "a"},
         "--rtu-over-tcp and --port exclude each other"},
        {{"--tcp", "a", "--rtu-over-tcp", "b"}, "exclude each other"},
        {{"--simulate", "--tcp", "a"}, "--tcp and --simulate exclude each other"},
        {{"--tcp", "a", "--scan", "--baud", "9600", "--baud", "19200"}, "one --baud at most"},
    };
    for (const auto& [arguments, said] : cases) {
        const QString error = refusal(QStringList{"--headless"} + arguments);
        EXPECT_TRUE(error.contains(QLatin1String(said)))
            << arguments.join(' ').toStdString() << ": " << error.toStdString();
    }
}

} // namespace
