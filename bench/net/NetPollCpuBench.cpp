// The CPU that one poll over Modbus TCP costs: the headless runner
// (`kestro-modbus-m --headless --tcp`) against a libmodbus TCP master, both
// polling the virtual module's Modbus TCP server on the loopback interface
// in the same run.
//
//   net_poll_cpu_bench [--polls N] [--runs R]
//
// The module serves from this process, answering at once. Each master runs
// as a process of its own, one after the other, R times round (3 by
// default): libmodbus reading the same 20 registers with the pause the tool
// makes after a reply from a native Modbus TCP device (2 ms), then the
// runner. Once a master has polled for a second, its CPU time (all threads,
// from /proc) is read at one request the module takes and again N requests
// later (2000 by default). Medians of the R runs, with the lowest and
// highest, and the ratio to libmodbus are printed.
//
// Child mode, used by the benchmark itself:
//   net_poll_cpu_bench --libmodbus-master HOST PORT PAUSE_MS

#include "bench/support/LibmodbusMaster.h"
#include "bench/support/ProcessCpu.h"
#include "net/NetworkLineSettings.h"
#include "platform/system/TimerSlack.h"
#include "poll/PollCycle.h"
#include "sim/ModuleServer.h"
#include "sim/VirtualModule.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <modbus.h>

using namespace processcpu;

namespace {

constexpr const char* ToolPath = KESTRO_MODBUS_M_PATH;

// The libmodbus master: the tool's read, then the pause, until terminated.
int runLibmodbusMaster(const char* host, int port, int pauseMs) {
    modbus_t* context = modbus_new_tcp(host, port);
    if (context == nullptr || modbus_connect(context) != 0) {
        std::fprintf(stderr, "libmodbus cannot connect to %s:%d\n", host, port);
        return 1;
    }
    modbus_set_slave(context, 1);
    readForEver(context, pauseMs);
}

struct Options {
    int polls = 2000;
    int runs = 3;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        const int value = std::atoi(argv[index + 1]);
        if (name == "--polls" && value > 0) {
            options.polls = value;
        } else if (name == "--runs" && value > 0) {
            options.runs = value;
        } else {
            return std::nullopt;
        }
    }
    return (argc % 2 == 1) ? std::optional(options) : std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--libmodbus-master") == 0) {
        return runLibmodbusMaster(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    }
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: net_poll_cpu_bench [--polls N] [--runs R]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    UseFineTimerSlack();
    VirtualModuleOptions moduleOptions;
    moduleOptions.noise = 0;
    VirtualModule module(moduleOptions);
    RequestLog log;
    module.SetTrafficObserver([&log](bool received, std::span<const std::uint8_t>) {
        if (received) {
            log.taken();
        }
    });
    ModuleServer server(module, ModuleServer::Framing::ModbusTcp);
    if (const NetResult failure = server.Start({QStringLiteral("127.0.0.1"), 0})) {
        std::fprintf(stderr, "the module's server cannot listen: %s\n",
                     failure->text.toUtf8().constData());
        return 1;
    }
    const std::string port = std::to_string(server.Bound().port);
    const auto pause = PauseAfterReply(NativeDeviceRate).value_or(ReplyTimeout);
    Series libmodbus{"libmodbus TCP master", {}};
    Series headless{"headless runner --tcp", {}};
    for (int run = 0; run < options->runs; ++run) {
        {
            const Child master(
                {argv[0], "--libmodbus-master", "127.0.0.1", port, std::to_string(pause.count())},
                {});
            if (const auto result = measure(master, log, options->polls)) {
                libmodbus.runs.push_back(*result);
            }
        }
        {
            const Child runner({ToolPath, "--headless", "--tcp", "127.0.0.1:" + port}, {});
            if (const auto result = measure(runner, log, options->polls)) {
                headless.runs.push_back(*result);
            }
        }
    }
    std::printf("\nModbus TCP on loopback, %lld ms pause, %d polls per measurement, %d runs "
                "(medians, CPU lowest..highest)\n",
                static_cast<long long>(pause.count()), options->polls, options->runs);
    std::printf("%-22s %11s %11s %48s\n", "", "poll period", "CPU/poll", "of a core");
    libmodbus.print();
    headless.print();
    if (libmodbus.cpu() > 0.0 && libmodbus.period() > 0.0) {
        std::printf("CPU per poll against libmodbus: headless %.2f (target 1.0 or less)\n",
                    headless.cpu() / libmodbus.cpu());
        std::printf("poll period against libmodbus: headless %+.1f %%\n",
                    100.0 * (headless.period() / libmodbus.period() - 1.0));
    }
    server.Stop();
    return 0;
}
