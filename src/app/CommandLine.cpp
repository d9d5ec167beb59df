#include "app/CommandLine.h"

#include "app/Language.h"
#include "modbus/RtuFrame.h"
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

// Applies one option that takes a value; returns an error text or nothing.
QString applyOption(const QString& name, const QString& value, RunnerOptions& options) {
    if (IsRecordOption(name)) {
        return ApplyRecordOption(name, value, options.record);
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
        options.scanRates.push_back(*rate);
    } else if (name == "--address") {
        const auto address = parseInteger(value);
        if (!address || *address < AddressMinimum || *address > AddressMaximum) {
            return CommandLine::tr("--address must be 1..127, got \"%1\"").arg(value);
        }
        options.address = *address;
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

bool& flagOf(const QString& name, RunnerOptions& options) {
    if (name == "--headless") {
        return options.headless;
    }
    return name == "--simulate" ? options.simulate : options.scan;
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
           isLinearityOption(name);
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
        if (name == "--headless" || name == "--simulate" || name == "--scan") {
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
        const QString error = isLinearityOption(name)
                                  ? applyLinearityOption(name, *value, linearity)
                                  : applyOption(name, *value, options);
        if (!error.isEmpty()) {
            return {std::nullopt, error};
        }
    }
    if (const QString error = finishLinearity(linearity, options); !error.isEmpty()) {
        return {std::nullopt, error};
    }
    if (options.scan) {
        if (const QString error = checkScan(given, options); !error.isEmpty()) {
            return {std::nullopt, error};
        }
    }
    if (options.simulate && !options.port.isEmpty()) {
        return {std::nullopt, CommandLine::tr("--simulate and --port exclude each other")};
    }
    if (options.headless && !options.simulate && options.port.isEmpty()) {
        return {std::nullopt, CommandLine::tr("--headless needs --port PATH or --simulate")};
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
               "       kestro-modbus-m --simulate\n"
               "\n"
               "Polls the 20 holding registers of one Modbus RTU slave and prints every\n"
               "request (Tx-) and reply (Rx-) as a hexadecimal traffic line, then\n"
               "  Tx=<requests sent> Er=<replies missed>\n"
               "  registers=<register 0>,...,<register 19>\n"
               "\n"
               "  --port PATH        serial device, e.g. /dev/ttyUSB0 (8 data bits, 2 stop bits,\n"
               "                     no parity, no flow control)\n"
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
               "\n"
               "Exit status: 0 done (a scan: found a module; a linearity test: it passed), 1 the\n"
               "port could not be opened or a file could not be written, 2 a bad command line,\n"
               "3 a scan found no module or the linearity test failed (a deviation beyond the\n"
               "tolerance, or the line was lost).\n")
        .arg(LanguageValues());
}
