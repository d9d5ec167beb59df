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
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <modbus.h>
#include <mutex>
#include <optional>
#include <signal.h>
#include <span>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto WarmUp = 1s;

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
    std::array<std::uint16_t, 20> registers{};
    bool failed = false;
    for (;;) {
        if (modbus_read_registers(context, 0, 20, registers.data()) != 20 && !failed) {
            failed = true;
            std::fprintf(stderr, "libmodbus master: a read failed: %s\n", modbus_strerror(errno));
        }
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_nsec += long(pauseMs) * 1'000'000L;
        until.tv_sec += until.tv_nsec / 1'000'000'000L;
        until.tv_nsec %= 1'000'000'000L;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
        }
    }
}

// The requests the module has taken, with the time of each.
class RequestLog {
public:
    void taken() {
        {
            const std::lock_guard lock(m_mutex);
            m_times.push_back(Clock::now());
        }
        m_changed.notify_all();
    }
    std::size_t count() {
        const std::lock_guard lock(m_mutex);
        return m_times.size();
    }
    /// Waits until `count` requests are in or the deadline passes; the time
    /// of request number count - 1, if it came.
    std::optional<Clock::time_point> waitFor(std::size_t count, Clock::time_point deadline) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_until(lock, deadline, [&] { return m_times.size() >= count; })) {
            return std::nullopt;
        }
        return m_times[count - 1];
    }
    /// The times between requests number first and last, one by one.
    std::vector<double> intervalsMs(std::size_t first, std::size_t last) {
        const std::lock_guard lock(m_mutex);
        std::vector<double> intervals;
        for (std::size_t index = first + 1; index <= last && index < m_times.size(); ++index) {
            intervals.push_back(
                std::chrono::duration<double, std::milli>(m_times[index] - m_times[index - 1])
                    .count());
        }
        return intervals;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Clock::time_point> m_times;
};

// User and system time of a whole process (all its threads, living and
// ended), in milliseconds.
struct CpuTime {
    double user = 0.0;
    double system = 0.0;
    // To the nanosecond, where user and system come in clock ticks (10 ms).
    double run = 0.0;
    double total() const { return run; }
};

// The time the process's threads have run, in milliseconds, from the
// scheduler's own account of each. The masters' threads live as long as they
// poll, so none is lost from it by ending between two readings.
double threadsRunTime(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(tasks.c_str()), ::closedir);
    double total = 0.0;
    if (!directory) {
        return total;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        std::ifstream file(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long nanoseconds = 0;
        if (file >> nanoseconds) {
            total += double(nanoseconds) / 1e6;
        }
    }
    return total;
}

std::optional<CpuTime> processCpu(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    // After the command name: state and 10 more fields, then utime and stime.
    std::istringstream fields(text.substr(end + 2));
    std::string skipped;
    for (int field = 0; field < 11; ++field) {
        fields >> skipped;
    }
    unsigned long long user = 0;
    unsigned long long system = 0;
    if (!(fields >> user >> system)) {
        return std::nullopt;
    }
    const double tick = 1000.0 / double(sysconf(_SC_CLK_TCK));
    return CpuTime{double(user) * tick, double(system) * tick, threadsRunTime(pid)};
}

class Child {
public:
    Child(const std::vector<std::string>& arguments, const std::vector<std::string>& settings) {
        std::vector<std::string> environment(settings);
        for (char** entry = environ; *entry != nullptr; ++entry) {
            environment.emplace_back(*entry);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& entry : environment) {
            envp.push_back(const_cast<char*>(entry.c_str()));
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

struct Measurement {
    double periodMs = 0.0;
    // The period of most polls, and the longest: a mean above the median
    // comes from a few polls held up, not from every one.
    double medianPeriodMs = 0.0;
    double longestPeriodMs = 0.0;
    CpuTime perPoll;
    double coreShare() const { return periodMs > 0.0 ? perPoll.total() / periodMs : 0.0; }
};

// Lets the child poll for the warm-up, then measures `polls` requests.
std::optional<Measurement> measure(const Child& child, RequestLog& log, int polls) {
    const std::size_t before = log.count();
    // A master that has not asked anything after 10 s never will.
    const auto first = log.waitFor(before + 1, Clock::now() + 10s);
    const auto deadline = Clock::now() + 120s;
    if (child.pid() <= 0 || !first) {
        return std::nullopt;
    }
    std::this_thread::sleep_until(*first + WarmUp);
    const std::size_t start = log.count() + 1;
    const auto startTime = log.waitFor(start, deadline);
    const auto startCpu = processCpu(child.pid());
    const auto endTime = log.waitFor(start + std::size_t(polls), deadline);
    const auto endCpu = processCpu(child.pid());
    if (!startTime || !endTime || !startCpu || !endCpu) {
        return std::nullopt;
    }
    Measurement result;
    result.periodMs =
        std::chrono::duration<double, std::milli>(*endTime - *startTime).count() / double(polls);
    result.perPoll = {(endCpu->user - startCpu->user) / double(polls),
                      (endCpu->system - startCpu->system) / double(polls),
                      (endCpu->run - startCpu->run) / double(polls)};
    const std::vector<double> intervals =
        log.intervalsMs(start - 1, start - 1 + std::size_t(polls));
    result.medianPeriodMs = median(intervals);
    result.longestPeriodMs =
        intervals.empty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end());
    return result;
}

struct Series {
    const char* name;
    std::vector<Measurement> runs;

    double medianOf(double (*field)(const Measurement&)) const {
        std::vector<double> values;
        for (const Measurement& run : runs) {
            values.push_back(field(run));
        }
        return median(values);
    }
    void print() const {
        if (runs.empty()) {
            std::printf("%-22s no measurement\n", name);
            return;
        }
        std::vector<double> cpu;
        for (const Measurement& run : runs) {
            cpu.push_back(run.perPoll.total());
        }
        std::printf("%-22s %8.3f ms %8.3f ms (%.3f..%.3f; user %.3f, system %.3f) %6.2f %%\n", name,
                    medianOf([](const Measurement& m) { return m.periodMs; }), median(cpu),
                    *std::min_element(cpu.begin(), cpu.end()),
                    *std::max_element(cpu.begin(), cpu.end()),
                    medianOf([](const Measurement& m) { return m.perPoll.user; }),
                    medianOf([](const Measurement& m) { return m.perPoll.system; }),
                    100.0 * medianOf([](const Measurement& m) { return m.coreShare(); }));
        std::printf("%-22s   poll period of most polls %.3f ms, longest %.3f ms\n", "",
                    medianOf([](const Measurement& m) { return m.medianPeriodMs; }),
                    medianOf([](const Measurement& m) { return m.longestPeriodMs; }));
    }
    double cpu() const {
        return medianOf([](const Measurement& m) { return m.perPoll.total(); });
    }
    double period() const {
        return medianOf([](const Measurement& m) { return m.periodMs; });
    }
};

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
                    100.0 * window.medianOf([](const Measurement& m) { return m.coreShare(); }));
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
