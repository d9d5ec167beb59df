// The CPU that one poll costs, the headless runner and the window against a
// libmodbus master, all three polling the virtual module in one run.
//
//   poll_cpu_bench [--baud 115200|9600] [--polls N] [--runs R] [--idle SECONDS]
//
// Without --baud it compares at 115200 (1000 polls a measurement) and then at
// 9600 (100 polls), where it also prints the window's share of one core.
// The module serves a pseudo-terminal from this process, putting each reply
// byte on the line at the character time of the rate the master set (as a
// real UART delivers them). Each master runs as a process of its own, one
// after the other, R times round: a libmodbus master reading the same 20
// registers with the pause the tool makes after a reply (2 ms at 115200,
// 25 ms at 9600), `kestro-modbus-m --headless` and the window on Qt's
// offscreen platform. Once a master has polled for a second, its CPU time
// (all threads, from /proc: the run time each thread's scheduler account
// gives to the nanosecond, and the user and system split in clock ticks) is
// read at one request the module takes and again N requests later; the module's own time stamps of
// those two requests give the poll period. Medians of the R runs, with the
// lowest and highest, and the ratios to libmodbus are printed; then the CPU
// the window uses in IDLE seconds with the port closed.
//
// Child mode, used by the benchmark itself:
//   poll_cpu_bench --libmodbus-master PATH BAUD PAUSE_MS

#include "bench/support/LibmodbusMaster.h"
#include "bench/support/ProcessCpu.h"
#include "platform/system/TimerSlack.h"
#include "poll/PollCycle.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"
#include "ui/main/Unit1.h"

#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <modbus.h>
#include <optional>
#include <signal.h>
#include <span>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace processcpu;

namespace {

// The libmodbus master: the read of the tool, then the pause from the end of
// the reply, until it is terminated.
int runLibmodbusMaster(const char* path, int baud, int pauseMs) {
    modbus_t* context = modbus_new_rtu(path, baud, 'N', 8, 2);
    if (context == nullptr || modbus_connect(context) != 0) {
        std::fprintf(stderr, "libmodbus cannot open %s\n", path);
        return 1;
    }
    modbus_set_slave(context, 1);
    // The rest of a reply to the master before may still be on its way;
    // once the line is quiet, whatever came of it is dropped.
    std::this_thread::sleep_for(200ms);
    modbus_flush(context);
    readForEver(context, pauseMs);
}

// The window does not close its port when it is terminated, so the line of
// the module's pseudo-terminal (which the module keeps open) stays claimed
// exclusively; the next master would be refused. Root may open it all the
// same and lift the claim.
void releaseLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
}

struct Options {
    std::vector<TBaudRate> baudRates = {br115200, br9600};
    std::optional<int> polls;
    int runs = 3;
    int idleSeconds = 10;

    // A thousand polls at 115200 take about 7 s; at 9600 a hundred take 9 s.
    int pollsAt(TBaudRate baudRate) const {
        return polls.value_or(baudRate == br9600 ? 100 : 1000);
    }
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        const int value = std::atoi(argv[index + 1]);
        if (name == "--baud" && (value == 115200 || value == 9600)) {
            options.baudRates = {value == 9600 ? br9600 : br115200};
        } else if (name == "--polls" && value > 0) {
            options.polls = value;
        } else if (name == "--runs" && value > 0) {
            options.runs = value;
        } else if (name == "--idle" && value >= 0) {
            options.idleSeconds = value;
        } else {
            return std::nullopt;
        }
    }
    return (argc % 2 == 1) ? std::optional(options) : std::nullopt;
}

// The window reads its port from the stored settings.
void storeWindowPort(const std::string& path, TBaudRate baudRate) {
    TComPort port;
    port.SetName("ComPort");
    port.SetPort(path);
    port.SetBaudRate(baudRate);
    port.SaveSettings(ssRegistry, SettingsKey);
}

constexpr const char* ToolPath = KESTRO_MODBUS_M_PATH;
constexpr const char* OffscreenWindow = "QT_QPA_PLATFORM=offscreen";

// The three masters, one after the other, `runs` times round at one rate;
// prints their medians and the ratios to libmodbus.
void compareAt(TBaudRate baudRate, const Options& options, const std::string& path, RequestLog& log,
               const char* self) {
    storeWindowPort(path, baudRate);
    const std::string baud = BaudRateName(baudRate);
    const auto pause = PauseAfterReply(baudRate).value_or(ReplyTimeout);
    const int polls = options.pollsAt(baudRate);
    Series libmodbus{"libmodbus master", {}};
    Series headless{"headless runner", {}};
    Series window{"window (offscreen)", {}};
    for (int run = 0; run < options.runs; ++run) {
        {
            const Child master(
                {self, "--libmodbus-master", path, baud, std::to_string(pause.count())}, {});
            if (const auto result = measure(master, log, polls)) {
                libmodbus.runs.push_back(*result);
            }
        }
        {
            const Child runner({ToolPath, "--headless", "--port", path, "--baud", baud}, {});
            if (const auto result = measure(runner, log, polls)) {
                headless.runs.push_back(*result);
            }
        }
        {
            const Child form({ToolPath, "--start"}, {OffscreenWindow});
            if (const auto result = measure(form, log, polls)) {
                window.runs.push_back(*result);
            }
        }
        releaseLine(path);
    }

    std::printf("\n%s baud, %d polls per measurement, %d runs (medians, CPU lowest..highest)\n",
                baud.c_str(), polls, options.runs);
    std::printf("%-22s %11s %11s %48s\n", "", "poll period", "CPU/poll", "of a core");
    for (const Series* series : {&libmodbus, &headless, &window}) {
        series->print();
    }
    const double reference = libmodbus.cpu();
    const double period = libmodbus.period();
    if (reference > 0.0 && period > 0.0) {
        std::printf("CPU per poll against libmodbus: headless %.2f (target 0.5 or less), window "
                    "%.2f (target 1.5 or less)\n",
                    headless.cpu() / reference, window.cpu() / reference);
        std::printf("poll period against libmodbus: headless %+.1f %%, window %+.1f %% (target "
                    "within 2 %%)\n",
                    100.0 * (headless.period() / period - 1.0),
                    100.0 * (window.period() / period - 1.0));
    }
    if (baudRate == br9600) {
        std::printf("window polling at 9600: %.2f %% of one core (target under 1 %%)\n",
                    100.0 * window.medianOf(
                                [](const processcpu::Measurement& m) { return m.coreShare(); }));
    }
}

// The CPU the window uses with the port closed, after it has settled.
void measureIdle(int seconds) {
    const Child idle({ToolPath}, {OffscreenWindow});
    std::this_thread::sleep_for(2s);
    const auto before = processCpu(idle.pid());
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto after = processCpu(idle.pid());
    if (idle.pid() <= 0 || !before || !after) {
        std::printf("\nwindow idle, port closed: no measurement\n");
        return;
    }
    const double used = after->total() - before->total();
    std::printf("\nwindow idle, port closed: %.0f ms CPU in %d s (%.3f %% of a core; target: "
                "none measurable)\n",
                used, seconds, used / 10.0 / seconds);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--libmodbus-master") == 0) {
        return runLibmodbusMaster(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    }
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: poll_cpu_bench [--baud 115200|9600] [--polls N] [--runs R] "
                             "[--idle SECONDS]\n");
        return 2;
    }
    // Each table as soon as it is complete, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The module paces its bytes to the microsecond, as a UART would.
    UseFineTimerSlack();
    VirtualModuleOptions moduleOptions;
    moduleOptions.pacing = Pacing::Line;
    VirtualModule module(moduleOptions);
    RequestLog log;
    module.SetTrafficObserver([&log](bool received, std::span<const std::uint8_t>) {
        if (received) {
            log.taken();
        }
    });
    if (module.Start() != 0) {
        std::fprintf(stderr, "the virtual module could not start\n");
        return 1;
    }
    const QTemporaryDir config;
    setenv("KESTRO_CONFIG_DIR", config.path().toLocal8Bit().constData(), 1);
    for (const TBaudRate baudRate : options->baudRates) {
        compareAt(baudRate, *options, module.PortPath(), log, argv[0]);
    }
    if (options->idleSeconds > 0) {
        measureIdle(options->idleSeconds);
    }
    module.Stop();
    return 0;
}
