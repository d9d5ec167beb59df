#include "app/CommandLine.h"

#include "app/Language.h"
#include "functest/TestReport.h"
#include "modbus/RtuFrame.h"
#include "platform/net/NetEndpoint.h"
#include "runner/HeadlessRunner.h"

#include <QSet>
#include <algorithm>

namespace {

constexpr int AddressMinimum = 1;
constexpr int AddressMaximum = 127;
constexpr int ValueMaximum = 0xFFFF;

std::optional<int> parseInteger(const QString& text) {
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 10);
    if (!isNumber) {
        return std::nullopt;
    }
    return value;
}

std::optional<TBaudRate> parseBaudRate(const QString& text) {
    // A custom rate has no text of its own here, so only the listed rates count.
    for (int rate = br110; rate <= br256000; ++rate) {
        const auto value = static_cast<TBaudRate>(rate);
        if (text == QString::fromStdString(BaudRateName(value))) {
            return value;
        }
    }
    return std::nullopt;
}

QString parseWrite(const QString& text, RunnerOptions& options) {
    const qsizetype separator = text.indexOf('=');
    if (separator < 0) {
        return CommandLine::tr("--write needs REG=VALUE, got \"%1\"").arg(text);
    }
    const auto registerIndex = parseInteger(text.left(separator));
    const auto value = parseInteger(text.mid(separator + 1));
    if (!registerIndex || *registerIndex < 0 || *registerIndex >= RegisterCount) {
        return CommandLine::tr("--write register must be 0..19, got \"%1\"").arg(text);
    }
    if (!value || *value < 0 || *value > ValueMaximum) {
        return CommandLine::tr("--write value must be 0..65535, got \"%1\"").arg(text);
    }
    options.writes.emplace_back(*registerIndex, *value);
    return {};
}

// The linearity test's options, gathered while parsing and judged together
// at the end, since --settle and --tolerance may come before --linearity.
struct LinearityOptions {
    bool requested = false;
    bool settleGiven = false;
    bool toleranceGiven = false;
    LinearityPlan plan;
};

bool isLinearityOption(const QString& name) {
    return name == "--linearity" || name == "--settle" || name == "--tolerance";
}

QString applyLinearityOption(const QString& name, const QString& value, LinearityOptions& test) {
    if (name == "--linearity") {
        test.requested = true;
        return ParseLinearityRange(value, test.plan);
    }
    if (name == "--settle") {
        const auto settle = parseInteger(value);
        if (!settle) {
            return CommandLine::tr("--settle needs a whole number of milliseconds, got \"%1\"")
                .arg(value);
        }
        test.settleGiven = true;
        test.plan.settle = std::chrono::milliseconds{*settle};
        return {};
    }
    // A tolerance reads as a percentage, with or without the sign.
    QString number = value;
    if (number.endsWith('%')) {
        number.chop(1);
    }
    bool isNumber = false;
    test.plan.tolerancePercent = number.toDouble(&isNumber);
    if (!isNumber) {
        return CommandLine::tr("--tolerance needs a percentage, e.g. 0.5, got \"%1\"").arg(value);
    }
    test.toleranceGiven = true;
    return {};
}

QString finishLinearity(const LinearityOptions& test, RunnerOptions& options) {
    if (!test.requested) {
        if (test.settleGiven || test.toleranceGiven) {
            return CommandLine::tr("--settle and --tolerance belong to --linearity FROM:TO:STEP");
        }
        return {};
    }
    if (options.cycles) {
        return CommandLine::tr("--linearity ends the run itself; leave out --cycles");
    }
    if (const QString error = LinearityPlanError(test.plan); !error.isEmpty()) {
        return error;
    }
    options.linearity = test.plan;
    return {};
}

bool isNetworkOption(const QString& name) {
    return name == "--tcp" || name == "--rtu-over-tcp";
}

// --tcp or --rtu-over-tcp with its HOST[:PORT]; returns an error text or nothing.
QString applyNetworkOption(const QString& name, const QString& value, RunnerOptions& options) {
    if (options.network) {
        return CommandLine::tr("--tcp and --rtu-over-tcp exclude each other");
    }
    const EndpointParse parsed = ParseEndpoint(value);
    if (parsed.error == EndpointError::BadPort) {
        return CommandLine::tr("%1 port must be 1..65535, got \"%2\"").arg(name, value);
    }
    if (!parsed.endpoint) {
        return CommandLine::tr("%1 needs HOST[:PORT], got \"%2\"").arg(name, value);
    }
    NetworkLineSettings network;
    network.framing = name == "--tcp" ? NetworkFraming::ModbusTcp : NetworkFraming::RtuOverTcp;
    network.endpoint = *parsed.endpoint;
    options.network = network;
    return {};
}

// A network line stands in for the port. --baud is the rate of the serial
// line behind a gateway or device server; without it a Modbus TCP device is
// taken to be native, and a device server to run at the default rate.
QString finishNetwork(const QSet<QString>& given, RunnerOptions& options) {
    if (!options.network) {
        return {};
    }
    for (const char* excluded : {"--port", "--simulate"}) {
        if (given.contains(QLatin1String(excluded))) {
            const bool tcp = options.network->framing == NetworkFraming::ModbusTcp;
            return CommandLine::tr("%1 and %2 exclude each other")
                .arg(QLatin1String(tcp ? "--tcp" : "--rtu-over-tcp"), QLatin1String(excluded));
        }
    }
    const bool baudGiven = given.contains(QStringLiteral("--baud"));
    if (baudGiven || options.network->framing == NetworkFraming::RtuOverTcp) {
        options.network->gatewayRate = options.baudRate;
    }
    if (options.scan && options.scanRates.size() > 1) {
        return CommandLine::tr("--scan over a network line takes one --baud at most: the rate "
                               "of the serial line behind the gateway");
    }
    return {};
}

// Applies one option that takes a value; returns an error text or nothing.
QString applyOption(const QString& name, const QString& value, RunnerOptions& options) {
    if (IsRecordOption(name)) {
        return ApplyRecordOption(name, value, options.record);
    }
    if (isNetworkOption(name)) {
        return applyNetworkOption(name, value, options);
    }
    if (name == "--summary") {
        if (value.isEmpty()) {
            return CommandLine::tr("--summary needs a file name");
        }
        options.summaryPath = value;
    } else if (name == "--port") {
        if (value.isEmpty()) {
            return CommandLine::tr("--port needs a device path");
        }
        options.port = value;
    } else if (name == "--baud") {
        const auto rate = parseBaudRate(value);
        if (!rate) {
            return CommandLine::tr("unknown baud rate \"%1\" (110 to 256000, e.g. 9600)")
                .arg(value);
        }
        options.baudRate = *rate;
        options.baudRateGiven = true;
        options.scanRates.push_back(*rate);
    } else if (name == "--address") {
        const auto address = parseInteger(value);
        if (!address || *address < AddressMinimum || *address > AddressMaximum) {
            return CommandLine::tr("--address must be 1..127, got \"%1\"").arg(value);
        }
        options.address = *address;
        options.addressGiven = true;
    } else if (name == "--cycles") {
        const auto cycles = parseInteger(value);
        if (!cycles || *cycles < 1) {
            return CommandLine::tr("--cycles must be a positive number, got \"%1\"").arg(value);
        }
        options.cycles = *cycles;
    } else if (name == "--write") {
        return parseWrite(value, options);
    } else {
        return CommandLine::tr("unknown option \"%1\"").arg(name);
    }
    return {};
}

bool isFunctionTestOption(const QString& name) {
    return name == "--serial" || name == "--plan" || name == "--report-dir" ||
           name == "--station-log";
}

QString applyFunctionTestOption(const QString& name, const QString& value,
                                FunctionTestOptions& test) {
    if (value.isEmpty()) {
        return CommandLine::tr("%1 needs a value").arg(name);
    }
    if (name == "--serial") {
        test.serial = value;
    } else if (name == "--plan") {
        test.planPath = value;
    } else if (name == "--report-dir") {
        test.reportDir = value;
    } else {
        test.stationLog = value;
    }
    return {};
}

// The function test tests one unit from its plan; options that poll or
// write of their own have no place in it.
QString checkFunctionTest(const QSet<QString>& given, const FunctionTestOptions& test) {
    if (test.printPlan) {
        for (const QString& name : given) {
            if (name != QLatin1String("--headless") && name != QLatin1String("--print-plan")) {
                return CommandLine::tr("--print-plan takes no other option than --headless");
            }
        }
        return {};
    }
    if (!test.run) {
        for (const char* belonging : {"--serial", "--plan", "--report-dir", "--station-log"}) {
            if (given.contains(QLatin1String(belonging))) {
                return CommandLine::tr("%1 belongs to --test").arg(belonging);
            }
        }
        return {};
    }
    for (const char* excluded : {"--scan", "--cycles", "--write", "--linearity", "--summary"}) {
        if (given.contains(QLatin1String(excluded))) {
            return CommandLine::tr("--test and %1 exclude each other").arg(excluded);
        }
    }
    if (test.serial.isEmpty()) {
        return CommandLine::tr("--test needs --serial SN");
    }
    if (!IsValidSerial(test.serial)) {
        return CommandLine::tr("--serial must be 1 to 64 letters, digits, '-', '_' or '.', got "
                               "\"%1\"")
            .arg(test.serial);
    }
    return {};
}

bool& flagOf(const QString& name, RunnerOptions& options) {
    if (name == "--headless") {
        return options.headless;
    }
    if (name == "--test") {
        return options.test.run;
    }
    if (name == "--print-plan") {
        return options.test.printPlan;
    }
    if (name == "--listen") {
        return options.listen;
    }
    return name == "--simulate" ? options.simulate : options.scan;
}

// A listener never sends, so nothing that writes, asks or counts its own
// requests goes with it.
QString checkListen(const QSet<QString>& given, const RunnerOptions& options) {
    for (const char* excluded :
         {"--write", "--scan", "--linearity", "--test", "--cycles", "--simulate"}) {
        if (given.contains(QLatin1String(excluded))) {
            return CommandLine::tr("--listen and %1 exclude each other").arg(excluded);
        }
    }
    if (options.port.isEmpty()) {
        return CommandLine::tr("--listen needs --port PATH");
    }
    return {};
}

// A scan asks every address at each rate it is given (or the default ones);
// options that poll one slave have no place in it.
QString checkScan(const QSet<QString>& given, RunnerOptions& options) {
    for (const char* excluded : {"--simulate", "--cycles", "--write", "--address", "--record",
                                 "--record-max-mb", "--summary", "--linearity"}) {
        if (given.contains(QLatin1String(excluded))) {
            return CommandLine::tr("--scan and %1 exclude each other").arg(excluded);
        }
    }
    if (options.network) {
        // A network line is scanned at the one rate behind it.
        options.scanRates = {options.network->PacingRate()};
        return {};
    }
    if (options.port.isEmpty()) {
        return CommandLine::tr("--scan needs --port PATH");
    }
    const std::vector<TBaudRate> allowed = DefaultScanRates();
    for (const TBaudRate rate : options.scanRates) {
        if (std::find(allowed.begin(), allowed.end(), rate) == allowed.end()) {
            return CommandLine::tr("--scan tries only 2400, 4800, 9600, 19200, 38400, 57600 and "
                                   "115200 baud, not %1")
                .arg(QString::fromStdString(BaudRateName(rate)));
        }
    }
    if (options.scanRates.empty()) {
        options.scanRates = allowed;
    }
    return {};
}

bool takesValue(const QString& name) {
    return name == "--port" || name == "--baud" || name == "--address" || name == "--cycles" ||
           name == "--write" || name == "--summary" || IsRecordOption(name) ||
           isLinearityOption(name) || isFunctionTestOption(name) || isNetworkOption(name);
}

} // namespace

bool IsRecordOption(const QString& name) {
    return name == "--record" || name == "--record-max-mb";
}

QString ApplyRecordOption(const QString& name, const QString& value, RecordOptions& record) {
    if (name == "--record") {
        if (value.isEmpty()) {
            return CommandLine::tr("--record needs a file name");
        }
        record.path = value;
        return {};
    }
    const auto megabytes = parseInteger(value);
    if (!megabytes || *megabytes < 1) {
        return CommandLine::tr("--record-max-mb must be a whole number of megabytes, 1 or more, "
                               "got \"%1\"")
            .arg(value);
    }
    record.limitMegabytes = *megabytes;
    return {};
}

RunnerArguments ParseRunnerArguments(const QStringList& arguments) {
    RunnerOptions options;
    LinearityOptions linearity;
    QSet<QString> given;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        const qsizetype equals = name.indexOf('=');
        if (name.startsWith("--") && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        given.insert(name);
        if (name == "--headless" || name == "--simulate" || name == "--scan" || name == "--test" ||
            name == "--print-plan" || name == "--listen") {
            if (value) {
                return {std::nullopt, CommandLine::tr("%1 takes no value").arg(name)};
            }
            flagOf(name, options) = true;
            continue;
        }
        if (!takesValue(name)) {
            return {std::nullopt, CommandLine::tr("unknown option \"%1\"").arg(arguments[i])};
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                return {std::nullopt, CommandLine::tr("%1 needs a value").arg(name)};
            }
            value = arguments[++i];
        }
        const QString error =
            isLinearityOption(name)      ? applyLinearityOption(name, *value, linearity)
            : isFunctionTestOption(name) ? applyFunctionTestOption(name, *value, options.test)
                                         : applyOption(name, *value, options);
        if (!error.isEmpty()) {
            return {std::nullopt, error};
        }
    }
    if (const QString error = finishLinearity(linearity, options); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    if (options.listen) {
        if (const QString error = checkListen(given, options); !error.isEmpty()) {
            return {std::nullopt, error};
        }
    }
    if (const QString error = finishNetwork(given, options); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    if (options.scan) {
        if (const QString error = checkScan(given, options); !error.isEmpty()) {
            return {std::nullopt, error};
        }
    }
    if (const QString error = checkFunctionTest(given, options.test); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    if (options.test.printPlan) {
        return {options, {}};
    }
    if (options.simulate && !options.port.isEmpty()) {
        return {std::nullopt, CommandLine::tr("--simulate and --port exclude each other")};
    }
    if (options.headless && !options.simulate && options.port.isEmpty() && !options.network) {
        return {std::nullopt, CommandLine::tr("--headless needs --port PATH, --tcp HOST[:PORT], "
                                              "--rtu-over-tcp HOST[:PORT] or --simulate")};
    }
    if (const QString error = HeadlessRunner::FilesConflict(options); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    return {options, {}};
}

std::vector<TBaudRate> DefaultScanRates() {
    // The usual rates first, the slow ones last: they take longest to scan.
    return {br9600, br19200, br38400, br57600, br115200, br4800, br2400};
}

QString RunnerUsage() {
    return CommandLine::tr(
               "usage: kestro-modbus-m --headless (--port PATH | --simulate) [--baud RATE]\n"
               "                       [--address N] [--cycles K] [--write REG=VALUE]...\n"
               "                       [--record FILE] [--record-max-mb N] [--summary FILE]\n"
               "                       [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]\n"
               "       kestro-modbus-m --headless --port PATH --scan [--baud RATE]...\n"
               "       kestro-modbus-m --headless --listen --port PATH [--baud RATE]\n"
               "                       [--address N] [--record FILE] [--summary FILE]\n"
               "       (--tcp HOST[:PORT] or --rtu-over-tcp HOST[:PORT] in place of --port)\n"
               "       kestro-modbus-m --simulate\n"
               "\n"
               "Polls the 20 holding registers of one Modbus RTU slave and prints every\n"
               "request (Tx-) and reply (Rx-) as a hexadecimal traffic line, then\n"
               "  Tx=<requests sent> Er=<replies missed>\n"
               "  registers=<register 0>,...,<register 19>\n"
               "\n"
               "  --port PATH        serial device, e.g. /dev/ttyUSB0 (8 data bits, 2 stop bits,\n"
               "                     no parity, no flow control)\n"
               "  --tcp HOST[:PORT]  poll over Modbus TCP (port 502 by default): a gateway, or\n"
               "                     a device that speaks Modbus TCP itself\n"
               "  --rtu-over-tcp HOST[:PORT]\n"
               "                     poll through a serial device server that passes the RTU\n"
               "                     frames through (port 502 by default); on both network\n"
               "                     lines --baud is the rate of the serial line behind, which\n"
               "                     sets the pause after a reply (without it a Modbus TCP\n"
               "                     device takes the shortest pause, a device server 9600),\n"
               "                     and a lost connection is made again every second\n"
               "  --simulate         poll the built-in virtual module instead of a device\n"
               "  --baud RATE        110, 300, 600, 1200, 2400, 4800, 9600 (default), 14400,\n"
               "                     19200, 38400, 56000, 57600, 115200, 128000 or 256000\n"
               "  --address N        slave address 1..127 (default 1)\n"
               "  --cycles K         send K requests, settle the last, then stop (default:\n"
               "                     until SIGINT or SIGTERM)\n"
               "  --write REG=VALUE  write VALUE (0..65535) to register REG (0..19); repeatable,\n"
               "                     sent in order, each followed by at least one read\n"
               "  --record FILE      record every request, reply and miss in FILE (CSV)\n"
               "  --record-max-mb N  start a new FILE when it would pass N megabytes, keeping\n"
               "                     the last nine as FILE.1 to FILE.9 (default 1024)\n"
               "  --summary FILE     write the link statistics to FILE (JSON) at the end\n"
               "  --linearity FROM:TO:STEP\n"
               "                     the linearity test: write each output value from FROM to\n"
               "                     TO by STEP (0..2200) to register 3, keep polling for the\n"
               "                     settle time, take the mean of the feedback (register 2)\n"
               "                     over the reads of its last 250 ms, then write the output\n"
               "                     back; prints output,feedback,deviation,deviation_pct a\n"
               "                     point and \"linearity: max deviation D% at output V,\n"
               "                     tolerance T%: PASS\" (or FAIL) after the traffic\n"
               "  --settle MS        settle time of each point, 300 or more (default 1000)\n"
               "  --tolerance PCT    largest deviation that passes, in per cent of the full\n"
               "                     scale 2200, above 0 (default 0.5)\n"
               "  --lang LANG        the language of the texts: %1; zh (Chinese) is the\n"
               "                     default, auto follows the desktop; KESTRO_LANG=LANG as well\n"
               "  --scan             look for modules: at each RATE given (default: 9600,\n"
               "                     19200, 38400, 57600, 115200, 4800, 2400) ask addresses\n"
               "                     1 to 127 in turn and print \"found address=N baud=RATE\"\n"
               "                     for each that answers; progress goes to standard error\n"
               "  --listen           listen to a bus another master polls, sending nothing\n"
               "                     (the port is opened for reading only; DTR and RTS are\n"
               "                     not set): the master's frames print as Tx- lines, the\n"
               "                     slaves' and bytes that make no frame as Rx- lines; at\n"
               "                     SIGINT or SIGTERM Tx= counts the master's requests, Er=\n"
               "                     those without a sound reply, and registers= the values\n"
               "                     the master last read from --address (see docs/listen.md)\n"
               "\n"
               "Exit status: 0 done (a scan: found a module; a linearity test: it passed), 1 the\n"
               "port could not be opened, the host of a network line could not be found or a file\n"
               "could not be written, 2 a bad command line,\n"
               "3 a scan found no module or the linearity test failed (a deviation beyond the\n"
               "tolerance, or the line was lost).\n")
               .arg(LanguageValues()) +
           FunctionTestUsage();
}

QString FunctionTestUsage() {
    return CommandLine::tr(
        "\n"
        "The function test of one unit:\n"
        "       kestro-modbus-m --headless (--port PATH | --simulate) --test --serial SN\n"
        "                       [--plan FILE] [--report-dir DIR] [--station-log FILE]\n"
        "                       [--baud RATE] [--address N]\n"
        "       kestro-modbus-m --headless --print-plan\n"
        "\n"
        "  --test             run the plan's steps on the unit, then leave it safe (relay\n"
        "                     off, output 0); prints \"step NAME: PASS|FAIL|SKIP\" with the\n"
        "                     measurements, then \"test SN: PASS\" or \"test SN: FAIL\n"
        "                     (failed: NAME,...)\"\n"
        "  --serial SN        the unit's serial number: 1 to 64 letters, digits, - _ .\n"
        "  --plan FILE        the test plan (JSON); default: the built-in plan\n"
        "  --report-dir DIR   where SN-<time>-<attempt>.json and .pdf go (default: .)\n"
        "  --station-log FILE one CSV row per test (default: DIR/station-log.csv)\n"
        "  --baud, --address  the line's rate and the unit's address, instead of the plan's\n"
        "  --print-plan       write the built-in plan to standard output\n"
        "\n"
        "Exit status of a test: 0 PASS, 3 FAIL, 1 the test could not run or was\n"
        "interrupted (ABORTED), 2 a bad command line or plan.\n");
}
