#include "sim/CommandLine.h"

#include <charconv>
#include <functional>
#include <sstream>

namespace {

constexpr unsigned HighestSlaveAddress = 247;
constexpr unsigned HighestBaudRate = 4'000'000;
constexpr unsigned LongestDelayMilliseconds = 60'000;
constexpr unsigned LargestReplyBytes = 4096;
constexpr unsigned LargestNoise = 1000;
constexpr double LargestFeedbackGain = 10.0;
constexpr int LargestFeedbackOffset = 0xFFFF;
// USB adapters take latency timers of 1 to 255 ms.
constexpr unsigned LongestTapLatency = 255;

std::optional<unsigned> parseNumber(std::string_view text, unsigned lowest, unsigned highest) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest) {
        return std::nullopt;
    }
    return value;
}

template <typename Number>
std::optional<Number> parseBounded(std::string_view text, Number lowest, Number highest) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= lowest) ||
        !(value <= highest)) {
        return std::nullopt;
    }
    return value;
}

// Splits "head:tail" at the first colon; tail is empty when there is none.
std::pair<std::string_view, std::string_view> splitAtColon(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return {text, {}};
    }
    return {text.substr(0, colon), text.substr(colon + 1)};
}

class Parser {
public:
    explicit Parser(const std::vector<std::string_view>& arguments) : m_arguments(arguments) {}

    CommandLineOptions Run() {
        bool paced = false;
        while (m_next < m_arguments.size() && m_options.error.empty() && !m_options.help) {
            const std::string_view option = m_arguments[m_next++];
            paced = paced || option == "-p" || option == "--pace";
            parseOption(option);
        }
        // The bus paces the line itself; a module pacing its replies as well
        // would put them on the line twice as slowly.
        if (m_options.bus && paced) {
            fail("--bus paces the line itself; leave out --pace");
        }
        if (!m_options.bus && m_options.tapLatency.count() > 0) {
            fail("--tap-latency belongs to --bus");
        }
        if (m_options.rtuOverTcp && !m_options.tcpListen) {
            fail("--rtu-over-tcp belongs to --tcp-listen [HOST:]PORT");
        }
        return m_options;
    }

private:
    void fail(std::string message) {
        if (m_options.error.empty()) {
            m_options.error = std::move(message);
        }
    }

    std::optional<std::string_view> value(std::string_view option) {
        if (m_next >= m_arguments.size()) {
            fail(std::string(option) + " needs a value");
            return std::nullopt;
        }
        return m_arguments[m_next++];
    }

    std::optional<unsigned> number(std::string_view option, unsigned lowest, unsigned highest) {
        const auto text = value(option);
        if (!text) {
            return std::nullopt;
        }
        const auto parsed = parseNumber(*text, lowest, highest);
        if (!parsed) {
            fail(std::string(option) + " takes a number from " + std::to_string(lowest) + " to " +
                 std::to_string(highest) + ", not \"" + std::string(*text) + "\"");
        }
        return parsed;
    }

    // Parses the option's value as a number within bounds into target.
    template <typename Target>
    void store(std::string_view option, unsigned lowest, unsigned highest, Target& target) {
        if (const auto parsed = number(option, lowest, highest)) {
            target = static_cast<Target>(*parsed);
        }
    }

    void parseOption(std::string_view option) {
        CommandLineOptions& options = m_options;
        if (option == "-h" || option == "--help") {
            options.help = true;
        } else if (option == "--version") {
            options.version = true;
        } else if (option == "-v" || option == "--verbose") {
            options.verbose = true;
        } else if (option == "-a" || option == "--address") {
            store(option, 1, HighestSlaveAddress, options.module.address);
        } else if (option == "-b" || option == "--baud") {
            store(option, 1, HighestBaudRate, options.module.baudRate);
        } else if (option == "-p" || option == "--pace") {
            parsePacing(option);
        } else if (option == "--strict-baud") {
            options.module.strictBaudRate = true;
        } else if (option == "--bus") {
            options.bus = true;
        } else if (option == "--tap-latency") {
            if (const auto latency = number(option, 1, LongestTapLatency)) {
                options.tapLatency = std::chrono::milliseconds{*latency};
            }
        } else if (option == "--echo") {
            options.module.echo = true;
        } else if (option == "--relay-stuck") {
            options.module.unitFaults.relayStuck = true;
        } else if (option == "--ignore-calibration") {
            options.module.unitFaults.ignoreCalibration = true;
        } else if (option == "--loopback") {
            options.module.unitFaults.relayLoopback = true;
        } else if (option == "--link") {
            if (const auto path = value(option)) {
                if (path->empty()) {
                    fail("--link needs a path");
                }
                options.module.link = std::string(*path);
            }
        } else if (option == "--noise") {
            store(option, 0, LargestNoise, options.module.noise);
        } else if (option == "--seed") {
            store(option, 0, 0xFFFFFFFF, options.module.seed);
        } else if (option == "--feedback-gain") {
            storeBounded(option, 0.0, LargestFeedbackGain, options.module.feedback.gain);
        } else if (option == "--feedback-offset") {
            storeBounded(option, -LargestFeedbackOffset, LargestFeedbackOffset,
                         options.module.feedback.offset);
        } else if (option == "--feedback-lag") {
            if (const auto lag = number(option, 0, LongestDelayMilliseconds)) {
                options.module.feedback.lag = std::chrono::milliseconds{*lag};
            }
        } else if (option == "-f" || option == "--fault") {
            parseFault(option);
        } else if (option == "--split") {
            parseSplit(option);
        } else if (option == "--late-ms") {
            store(option, 0, LongestDelayMilliseconds, options.lateDelay);
        } else if (option == "--exception-code") {
            store(option, 1, 255, options.exceptionCode);
        } else if (option == "--trailing") {
            store(option, 1, LargestReplyBytes, options.trailingByteCount);
        } else if (option == "--burst") {
            store(option, 101, LargestReplyBytes, options.burstSize);
        } else if (option == "--tcp-listen") {
            parseListen(option);
        } else if (option == "--rtu-over-tcp") {
            options.rtuOverTcp = true;
        } else {
            fail("unknown option \"" + std::string(option) + "\"");
        }
    }

    // A number of any type (negative, or with a fraction for a double)
    // within bounds into target.
    template <typename Number>
    void storeBounded(std::string_view option, Number lowest, Number highest, Number& target) {
        const auto text = value(option);
        if (!text) {
            return;
        }
        if (const auto parsed = parseBounded(*text, lowest, highest)) {
            target = *parsed;
            return;
        }
        std::ostringstream range;
        range << option << " takes a number from " << lowest << " to " << highest << ", not \""
              << *text << "\"";
        fail(range.str());
    }

    void parsePacing(std::string_view option) {
        const auto text = value(option);
        if (!text) {
            return;
        }
        if (*text == "off") {
            m_options.module.pacing = Pacing::Off;
        } else if (*text == "line") {
            m_options.module.pacing = Pacing::Line;
        } else if (*text == "fixed") {
            m_options.module.pacing = Pacing::Fixed;
        } else if (const auto rate = parseNumber(*text, 1, HighestBaudRate)) {
            m_options.module.pacing = Pacing::Fixed;
            m_options.module.baudRate = *rate;
        } else {
            fail(std::string(option) + " takes off, line, fixed or a baud rate, not \"" +
                 std::string(*text) + "\"");
        }
    }

    void parseListen(std::string_view option) {
        const auto text = value(option);
        if (!text) {
            return;
        }
        // The port may not be left out (only the host may); port 0 takes any
        // free port, and the one bound is printed.
        const QString endpoint =
            QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size()));
        const bool portGiven =
            endpoint.lastIndexOf(u':') > endpoint.lastIndexOf(u']') || !endpoint.contains(u':');
        const EndpointParse parsed = ParseEndpoint(endpoint, ModbusTcpPort, 0, true);
        if (!parsed.endpoint || !portGiven ||
            (!endpoint.contains(u':') && !parsed.endpoint->host.isEmpty())) {
            fail(std::string(option) + " takes [HOST:]PORT with a port from 0 to 65535, not \"" +
                 std::string(*text) + "\"");
            return;
        }
        m_options.tcpListen = parsed.endpoint;
    }

    void parseFault(std::string_view option) {
        const auto text = value(option);
        if (!text) {
            return;
        }
        const auto [name, count] = splitAtColon(*text);
        const auto fault = FaultFromName(name);
        if (!fault) {
            fail("unknown fault \"" + std::string(name) + "\"");
            return;
        }
        FaultRequest request{*fault, -1};
        if (!count.empty()) {
            const auto parsed = parseNumber(count, 1, 1'000'000);
            if (!parsed) {
                fail("the count of fault \"" + std::string(name) + "\" must be a positive number");
                return;
            }
            request.count = static_cast<int>(*parsed);
        }
        m_options.faults.push_back(request);
    }

    void parseSplit(std::string_view option) {
        const auto text = value(option);
        if (!text) {
            return;
        }
        const auto [chunk, gap] = splitAtColon(*text);
        const bool hasGap = text->find(':') != std::string_view::npos;
        const auto chunkSize = parseNumber(chunk, 1, LargestReplyBytes);
        const auto gapMilliseconds =
            hasGap ? parseNumber(gap, 0, LongestDelayMilliseconds) : std::optional<unsigned>{};
        if (!chunkSize || (hasGap && !gapMilliseconds)) {
            fail(std::string(option) + " takes CHUNK or CHUNK:GAP_MS, not \"" + std::string(*text) +
                 "\"");
            return;
        }
        m_options.splitChunkSize = *chunkSize;
        if (gapMilliseconds) {
            m_options.splitGap = std::chrono::milliseconds{*gapMilliseconds};
        }
    }

    const std::vector<std::string_view>& m_arguments;
    std::size_t m_next = 0;
    CommandLineOptions m_options;
};

} // namespace

CommandLineOptions ParseCommandLine(const std::vector<std::string_view>& arguments) {
    return Parser(arguments).Run();
}

void ApplyFaultOptions(const CommandLineOptions& options, FaultInjector& faults) {
    const FaultPlan defaults;
    faults.SetSplit(options.splitChunkSize.value_or(defaults.splitChunkSize),
                    options.splitGap.value_or(defaults.splitGap));
    faults.SetLateDelay(options.lateDelay.value_or(defaults.lateDelay));
    faults.SetExceptionCode(options.exceptionCode.value_or(defaults.exceptionCode));
    faults.SetTrailingByteCount(options.trailingByteCount.value_or(defaults.trailingByteCount));
    faults.SetBurstSize(options.burstSize.value_or(defaults.burstSize));
    for (const FaultRequest& request : options.faults) {
        if (request.count < 0) {
            faults.ArmAlways(request.fault);
        } else {
            faults.Arm(request.fault, request.count);
        }
    }
}

std::string UsageText() {
    return R"(Usage: kestro-virtual-module [options]

Serves a simulated analog signal module as a Modbus RTU slave on a
pseudo-terminal, so that the tool or any other master can be tried without
hardware. The first line printed is the port's path (for example /dev/pts/3);
open it like a serial port at any speed. With --tcp-listen it serves over TCP
instead, one client at a time (others wait until it leaves), and the first
line printed is HOST:PORT; SIGUSR2 then takes the server away (its client's
connection is closed and new ones are refused) and SIGUSR1 brings it back. The module runs until SIGINT or
SIGTERM; SIGHUP restarts it, which applies a device ID or baud rate written
to registers 7 and 8. SIGUSR2 pulls its adapter out (the port closes, so a
client's line hangs up, and the --link is removed); SIGUSR1 plugs it in
afresh on a new pseudo-terminal, whose path is printed as a new line, and
points the --link at it (sent while plugged in, it does both at once). The
registers survive both. Clients may close the port and open it again; reply
bytes nobody read (say, a late reply) still wait there for the next client,
so a master should purge its input after opening.

Options:
  -a, --address N        slave address, 1 to 247 (default 1)
  -b, --baud RATE        the module's own baud rate (default 9600); register 8
                         shows it in hundreds, fixed pacing uses it
  -p, --pace MODE        reply pacing: off (default: replies in one piece),
                         line (each byte at the character time of the rate the
                         client set on the port), fixed (at the module's own
                         rate), or a baud rate (fixed pacing at that rate)
      --strict-baud      hear only a client whose line runs at the module's own
                         rate (after a restart, the rate in register 8)
      --bus              put the module on an emulated RS-485 bus instead of
                         serving its port alone: the first line printed is then
                         the port for a master, the second the port for a
                         listener (such as kestro-modbus-m --headless --listen);
                         the bus carries every byte at the module's rate (-b)
                         and never hands a byte back to its sender. The adapter
                         signals (SIGUSR1, SIGUSR2) are not for the bus
      --tap-latency MS   with --bus: the listener's port gets the bytes in
                         bunches every MS milliseconds (1 to 255), as through a
                         USB adapter's latency timer (default: byte by byte)
      --echo             hand every byte the client sends straight back before
                         answering, as a two-wire RS-485 adapter with local
                         echo does
      --link PATH        keep a symbolic link PATH pointing at the port, as
                         /dev/serial/by-id does for an adapter
      --noise N          feedback noise in counts either way (default 2)
      --seed N           seed of the noise (default 1)
      --feedback-gain G  the feedback reads the output times G, 0 to 10
                         (default 1; 1.01 is a gain error of 1 %)
      --feedback-offset N
                         ... plus N counts, -65535 to 65535 (default 0)
      --feedback-lag MS  after a write of the output the feedback takes MS
                         milliseconds (up to 60000) to reach the new value,
                         moving in a straight line (default 0: at once)
      --relay-stuck      the relay ignores writes (register 10 stays as it is)
      --ignore-calibration
                         calibration commands are taken but never carried out
                         (the command register keeps the command)
      --loopback         the relay's contact is wired to the dry-contact input
                         (register 9 follows bit 0 of register 10)
  -f, --fault KIND[:N]   inject a fault into the next N requests, or into all
                         of them without :N; may be given several times
      --split CHUNK[:MS] chunk size and gap of the split fault (default 3:20)
      --late-ms MS       delay of the late fault (default 1000)
      --exception-code C exception code of the exception fault (default 4)
      --trailing N       filler bytes of the trailing fault (default 3)
      --burst N          total length of the burst fault, over 100 (default 120)
      --tcp-listen [HOST:]PORT
                         serve over TCP instead of a pseudo-terminal: Modbus
                         TCP on PORT (0: any free port) of HOST (default: every
                         IPv4 interface); the first line printed is HOST:PORT
      --rtu-over-tcp     with --tcp-listen, pass the RTU frames (with CRC)
                         through as a serial device server does, instead of
                         Modbus TCP
  -v, --verbose          log every request and reply as hex on standard error
  -h, --help             show this text
      --version          print the program's name and version

Faults:
  no-reply       the request is carried out but not answered
  split          the reply goes out in chunks with gaps between them
  wrong-crc      the reply's two CRC bytes are inverted
  wrong-address  the reply comes from the next slave address (valid CRC)
  exception      the request is refused with an exception reply, not carried out
  trailing       filler bytes (FF) follow the reply
  burst          the reply is padded with FF to a burst of more than 100 bytes
  late           the reply is sent only after a delay, during which the module
                 serves nothing else (requests wait on the line)
Each armed fault applies to every request addressed to the module and uses up
one of its count; several faults may hit the same request.

Protocol:
  Function 03 reads and function 06 writes holding registers 0 to 19. Other
  functions get exception 01 (illegal function), registers outside 0..19
  exception 02 (illegal data address), a read of 0 or more than 125
  registers and an unknown command value exception 03 (illegal data value).
  Requests for other addresses are ignored; a write to address 0 (broadcast)
  is carried out without a reply. Requests are found by their CRC wherever
  they start, so garbage before a request and requests split across reads do
  no harm; a request of an unknown function ends after 3.5 character times of
  silence.

Registers:
  0      none (stored)
  1, 2   feedback current and feedback display value: follow register 3 with
         a little noise, as if the output were wired to the input (through
         the gain, offset and lag set above)
  3      output display value, held to 0..2200 (0.00 to 22.00 mA)
  4      output range (stored)
  5      display mode: 0 shows hundredths, anything else tenths (stored)
  6      output adjustment factor (stored, default 1)
  7      device ID: stored, takes effect at restart if 1..247
  8      baud rate in hundreds: stored, takes effect at restart if standard
  9      dry-contact input (stored)
  10     output relay, bit 0
  11-16  relay function, trigger value and delay, control parameters (stored)
  17     output span, 19000..21000, applied by command 23123 in register 18
  18     calibration command: 26977 input zero, 26979 input 20 mA, 23123
         output span; carried out and cleared to 0 (17 too after a span)
  19     none (stored)
)";
}
