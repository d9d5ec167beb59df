// What listening costs: kestro-modbus-m --headless --listen on the tap of an
// emulated bus against the libmodbus master whose polls it hears, in one run,
// and the listener under a bus flooded with noise at the full line rate.
//
//   listen_cpu_bench [--seconds S] [--baud RATE]
//
// The virtual module and the bus (at 115200 baud unless told otherwise) run
// in this process. The master is a child process (this program in child
// mode) that reads the module's 20 registers with a 2 ms pause after each
// reply; the listener is the built program. After a second of warming up,
// each process's CPU time (all its threads, from /proc: the scheduler's run
// time to the nanosecond) is read at the start and end of S seconds, and
// divided by the polls the bus carried meanwhile. Then the master is
// replaced by a writer that puts random bytes on the bus as fast as the line
// takes them, and the listener's share of a core and its resident memory at
// the start and end of S seconds are printed.
//
// Child mode, used by the benchmark itself:
//   listen_cpu_bench --libmodbus-master PATH BAUD

#include "sim/VirtualBus.h"
#include "sim/VirtualModule.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <modbus.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto WarmUp = 1s;
constexpr auto MasterPause = 2ms;

int runLibmodbusMaster(const char* path, int baud) {
    modbus_t* context = modbus_new_rtu(path, baud, 'N', 8, 2);
    if (context == nullptr || modbus_connect(context) != 0) {
        std::fprintf(stderr, "libmodbus cannot open %s\n", path);
        return 1;
    }
    modbus_set_slave(context, 1);
    std::uint16_t values[20] = {};
    for (;;) {
        modbus_read_registers(context, 0, 20, values);
        std::this_thread::sleep_for(MasterPause);
    }
}

pid_t spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The listener's traffic lines are not what is measured.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

// The run time of all the process's threads, in nanoseconds.
std::uint64_t cpuNanoseconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::uint64_t total = 0;
    if (DIR* folder = ::opendir(tasks.c_str())) {
        while (const dirent* entry = ::readdir(folder)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
            std::uint64_t ran = 0;
            if (schedstat >> ran) {
                total += ran;
            }
        }
        ::closedir(folder);
    }
    return total;
}

long residentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// Random bytes onto the bus from the master's port, as fast as the line takes them.
void flood(const std::string& path, unsigned baudRate, std::chrono::seconds duration) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    std::mt19937 random(5);
    const auto slice = 10ms;
    const std::size_t perSlice = baudRate / 11 / 100;
    std::vector<std::uint8_t> bytes(perSlice);
    const auto end = Clock::now() + duration;
    for (auto next = Clock::now(); next < end; next += slice) {
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        [[maybe_unused]] const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        std::this_thread::sleep_until(next + slice);
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--libmodbus-master") == 0) {
        return runLibmodbusMaster(argv[2], std::atoi(argv[3]));
    }
    auto seconds = 5s;
    unsigned baudRate = 115200;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::chrono::seconds{std::atoi(argv[i + 1])};
        } else if (std::strcmp(argv[i], "--baud") == 0) {
            baudRate = static_cast<unsigned>(std::atoi(argv[i + 1]));
        }
    }
    VirtualModuleOptions moduleOptions;
    moduleOptions.noise = 0;
    VirtualModule module(moduleOptions);
    VirtualBusOptions busOptions;
    busOptions.baudRate = baudRate;
    VirtualBus bus(busOptions);
    if (module.Start() != 0 || bus.Start(module.PortPath()) != 0) {
        std::fprintf(stderr, "cannot start the module and the bus\n");
        return 1;
    }
    const pid_t listener = spawn({KESTRO_MODBUS_M_PATH, "--headless", "--listen", "--port",
                                  bus.TapPath(), "--baud", std::to_string(baudRate)});
    std::this_thread::sleep_for(500ms);
    const pid_t master =
        spawn({argv[0], "--libmodbus-master", bus.MasterPath(), std::to_string(baudRate)});
    std::this_thread::sleep_for(WarmUp);
    const std::uint64_t polls0 = bus.MasterTransmissions();
    const std::uint64_t master0 = cpuNanoseconds(master);
    const std::uint64_t listener0 = cpuNanoseconds(listener);
    std::this_thread::sleep_for(seconds);
    const double polls = double(bus.MasterTransmissions() - polls0);
    const double masterPerPoll = double(cpuNanoseconds(master) - master0) / polls / 1000;
    const double listenerPerPoll = double(cpuNanoseconds(listener) - listener0) / polls / 1000;
    stop(master);
    std::printf("listen_cpu_bench: %u baud, %lld s, %.0f polls heard\n", baudRate,
                static_cast<long long>(seconds.count()), polls);
    std::printf("  libmodbus master             %8.1f us CPU a poll\n", masterPerPoll);
    std::printf("  kestro-modbus-m --listen     %8.1f us CPU a poll  (%.2f x libmodbus)\n",
                listenerPerPoll, listenerPerPoll / masterPerPoll);

    std::this_thread::sleep_for(200ms);
    const long residentBefore = residentKilobytes(listener);
    const std::uint64_t flood0 = cpuNanoseconds(listener);
    const auto floodStart = Clock::now();
    flood(bus.MasterPath(), baudRate, seconds);
    const double share = double(cpuNanoseconds(listener) - flood0) /
                         double(std::chrono::nanoseconds(Clock::now() - floodStart).count());
    const long residentAfter = residentKilobytes(listener);
    std::printf("  noise at the full line rate: %.1f %% of a core, resident %ld kB -> %ld kB\n",
                100 * share, residentBefore, residentAfter);
    stop(listener);
    bus.Stop();
    module.Stop();
    return 0;
}
