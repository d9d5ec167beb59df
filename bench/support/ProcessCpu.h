#pragma once
// What a poll costs a master running as a process of its own: the masters
// started as children, the CPU their threads use (from /proc), and the
// requests a module took with their times, from which the poll period
// follows. Shared by the benchmarks that compare the tool with libmodbus.

#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace processcpu {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

/// How long a master polls before it is measured.
constexpr auto WarmUp = 1s;

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
inline double threadsRunTime(pid_t pid) {
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

inline std::optional<CpuTime> processCpu(pid_t pid) {
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

inline double median(std::vector<double> values) {
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
inline std::optional<Measurement> measure(const Child& child, RequestLog& log, int polls) {
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

} // namespace processcpu
