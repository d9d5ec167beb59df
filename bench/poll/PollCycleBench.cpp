// Poll-cycle overhead of the engine against libmodbus, both polling the virtual
// module over a pseudo-terminal at 115200 with the module answering at once.
//
// The engine waits 2 ms after each complete reply before the next request, so
// its median tick-to-tick period minus 2 ms is what the engine itself, the port
// component and the module spend on one transaction. libmodbus does the same
// read of 20 registers back to back; its median transaction time is the
// yardstick. The two sides take turns in rounds, so that a change of load on
// the machine hits both alike. Run by hand: build/bench/poll/poll_cycle_bench [cycles]
//
// Back-to-back reads keep every thread involved awake; the engine's threads
// sleep through each 2 ms pause and pay for waking up again. So libmodbus is
// also measured paced like the engine (the same read, then a 2 ms sleep from
// the end of the reply), and its period minus 2 ms is given next to it. The
// engine's period is broken down with the module's own timestamps, and the
// cost of handing work from one sleeping thread to another and back is
// measured on its own, as the floor of what any threaded hand-over costs.

#include "platform/system/TimerSlack.h"
#include "poll/ComPortAdapter.h"
#include "poll/PollCycle.h"
#include "runner/RunnerView.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"
#include "tests/support/RelayPort.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <modbus.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 10;
constexpr int WarmUpTicks = 3;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) {
        return 0.0;
    }
    const auto index = static_cast<std::ptrdiff_t>(fraction * double(samples.size() - 1) + 0.5);
    const auto at = samples.begin() + index;
    std::nth_element(samples.begin(), at, samples.end());
    return *at;
}

double median(const std::vector<double>& samples) {
    return percentile(samples, 0.5);
}

struct EngineSamples {
    std::vector<double> periods;    // tick to tick
    std::vector<double> writes;     // tick to the tick handler's return
    std::vector<double> writeCalls; // tick to the port's write called (log line, counters)
    std::vector<double> writeTimes; // the port's write call itself
    std::vector<double> taken;      // tick to the module taking the whole request
    std::vector<double> answered;   // tick to the module's reply written to the line
    std::vector<double> delivered;  // reply written to the handler running on the main thread
    std::vector<double> replies;    // tick to the reply decoded
    std::vector<double> handling;   // the received-characters handler that completes the reply
    std::vector<double> lateness;   // reply decoded to the next tick, less the 2 ms pause
    int misses = 0;
};

// The module's own view of the current transaction, written on its thread.
struct ModuleStamps {
    std::atomic<Clock::rep> taken{0};
    std::atomic<Clock::rep> answered{0};
};

// The real port, with the request's write timed on its way through.
class TimedPort : public RelayPort {
public:
    using RelayPort::RelayPort;
    PortResult Write(const std::uint8_t* bytes, int count) override {
        writeCalled = Clock::now();
        PortResult result = m_port.Write(bytes, count);
        writeReturned = Clock::now();
        return result;
    }

    Clock::time_point writeCalled{};
    Clock::time_point writeReturned{};
};

Clock::time_point stampTime(const std::atomic<Clock::rep>& stamp) {
    return Clock::time_point(Clock::duration(stamp.load()));
}

void configure(TComPort& port, const std::string& path, TComEvents events) {
    port.SetPort(path);
    port.SetBaudRate(br115200);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
    port.SetEvents(events);
}

// One run of the engine over the given number of cycles, its samples appended.
void engineRound(const std::string& path, int cycles, TComEvents events, const ModuleStamps& module,
                 EngineSamples& samples) {
    std::FILE* discard = std::fopen("/dev/null", "w");
    TComPort port;
    configure(port, path, events);
    ComPortAdapter adapter(port);
    TimedPort timed(adapter);
    RunnerView view(discard, discard);
    PollCycle cycle(timed, view);
    QEventLoop loop;
    Clock::time_point tickTime{};
    Clock::time_point decodedTime{};
    int ticks = 0;
    adapter.SetOnRxChar([&](int count) {
        const Clock::time_point arrived = Clock::now();
        cycle.BytesArrived(count);
        if (cycle.Reply() == ReplyState::Read && ticks > WarmUpTicks) {
            const Clock::time_point done = Clock::now();
            decodedTime = done;
            samples.handling.push_back(milliseconds(done - arrived));
            samples.replies.push_back(milliseconds(done - tickTime));
            samples.taken.push_back(milliseconds(stampTime(module.taken) - tickTime));
            samples.answered.push_back(milliseconds(stampTime(module.answered) - tickTime));
            samples.delivered.push_back(milliseconds(arrived - stampTime(module.answered)));
        }
    });
    cycle.PollTimer().SetOnTimer([&] {
        const Clock::time_point now = Clock::now();
        if (ticks > WarmUpTicks) {
            samples.periods.push_back(milliseconds(now - tickTime));
            if (decodedTime > tickTime) {
                samples.lateness.push_back(milliseconds(now - decodedTime) - 2.0);
            }
        }
        tickTime = now;
        cycle.Tick();
        if (ticks > WarmUpTicks) {
            samples.writes.push_back(milliseconds(Clock::now() - now));
            samples.writeCalls.push_back(milliseconds(timed.writeCalled - now));
            samples.writeTimes.push_back(milliseconds(timed.writeReturned - timed.writeCalled));
        }
        if (!cycle.Polling()) {
            loop.quit();
        } else if (++ticks >= cycles + WarmUpTicks) {
            cycle.Stop();
        }
    });
    if (cycle.Start()) {
        loop.exec();
        samples.misses += static_cast<int>(cycle.ErCount());
    } else {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
    }
    std::fclose(discard);
}

// One run of libmodbus reading the 20 registers back to back.
// With paced set, each read is followed by a 2 ms sleep from the end of the
// reply, as the engine pauses, and times receives the period less 2 ms.
struct LibmodbusSamples {
    std::vector<double> transactions; // the read, or with pacing the period less 2 ms
    std::vector<double> taken;        // start to the module taking the whole request
    std::vector<double> received;     // the module's reply written to the read returning
    int failures = 0;
};

void libmodbusRound(const std::string& path, int cycles, bool paced, const ModuleStamps& module,
                    LibmodbusSamples& samples) {
    std::vector<double>& times = samples.transactions;
    int& failures = samples.failures;
    modbus_t* context = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 2);
    if (context == nullptr || modbus_connect(context) != 0) {
        std::fprintf(stderr, "libmodbus cannot open %s\n", path.c_str());
        failures += cycles;
        modbus_free(context);
        return;
    }
    modbus_set_slave(context, 1);
    std::array<std::uint16_t, 20> registers{};
    Clock::time_point previousStart{};
    for (int i = 0; i < cycles + (paced ? 1 : 0); ++i) {
        const Clock::time_point start = Clock::now();
        if (paced && i > 0) {
            times.push_back(milliseconds(start - previousStart) - 2.0);
        }
        previousStart = start;
        const int read = modbus_read_registers(context, 0, 20, registers.data());
        const Clock::time_point end = Clock::now();
        if (read != 20) {
            ++failures;
        } else {
            if (!paced) {
                times.push_back(milliseconds(end - start));
            }
            samples.taken.push_back(milliseconds(stampTime(module.taken) - start));
            samples.received.push_back(milliseconds(end - stampTime(module.answered)));
        }
        if (paced) {
            const auto wake = std::chrono::duration_cast<std::chrono::nanoseconds>(
                (end + std::chrono::milliseconds(2)).time_since_epoch());
            const timespec until{static_cast<time_t>(wake.count() / 1000000000),
                                 static_cast<long>(wake.count() % 1000000000)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
            }
        }
    }
    modbus_close(context);
    modbus_free(context);
}

void printSpread(const char* name, const std::vector<double>& samples, double offset = 0.0) {
    std::printf("  %-34s %7.3f ms  (10%%..90%%: %.3f..%.3f)\n", name, median(samples) - offset,
                percentile(samples, 0.1) - offset, percentile(samples, 0.9) - offset);
}

void printEngine(const char* name, const EngineSamples& samples) {
    std::printf("engine, %s (%d missed):\n", name, samples.misses);
    printSpread("poll period", samples.periods);
    printSpread("overhead (period - 2 ms)", samples.periods, 2.0);
    printSpread("tick handler (log, count, write)", samples.writes);
    printSpread("  tick to write called", samples.writeCalls);
    printSpread("  write call", samples.writeTimes);
    printSpread("tick to request taken by module", samples.taken);
    printSpread("tick to reply written by module", samples.answered);
    printSpread("reply written to handler running", samples.delivered);
    printSpread("reply handler (read, log, decode)", samples.handling);
    printSpread("tick to reply decoded", samples.replies);
    printSpread("timer late (decoded to tick - 2 ms)", samples.lateness);
}

// One thread wakes another through an eventfd, which wakes the first back:
// two wake-ups of a sleeping thread, as in the serial thread waking on the
// reply and then handing it to the main thread.
std::vector<double> handOverRoundTrips(int rounds) {
    const int there = eventfd(0, EFD_CLOEXEC);
    const int back = eventfd(0, EFD_CLOEXEC);
    std::thread peer([&] {
        for (int i = 0; i < rounds; ++i) {
            std::uint64_t value = 0;
            if (read(there, &value, sizeof value) != sizeof value ||
                write(back, &value, sizeof value) != sizeof value) {
                return;
            }
        }
    });
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        std::uint64_t value = 1;
        const Clock::time_point start = Clock::now();
        if (write(there, &value, sizeof value) != sizeof value ||
            read(back, &value, sizeof value) != sizeof value) {
            break;
        }
        times.push_back(milliseconds(Clock::now() - start));
        // Let both threads fall asleep, as they do during the pause.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    peer.join();
    close(there);
    close(back);
    return times;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    UseFineTimerSlack();
    const int cycles = argc > 1 ? std::max(Rounds, std::atoi(argv[1])) : 1000;
    const int perRound = cycles / Rounds;

    VirtualModuleOptions options;
    options.pacing = Pacing::Off;
    VirtualModule module(options);
    ModuleStamps stamps;
    module.SetTrafficObserver([&stamps](bool received, std::span<const std::uint8_t>) {
        (received ? stamps.taken : stamps.answered).store(Clock::now().time_since_epoch().count());
    });
    if (module.Start() != 0) {
        std::fprintf(stderr, "the virtual module could not start\n");
        return 1;
    }
    const std::string path = module.PortPath();

    // The main window asks for every line event; the runner needs only received bytes.
    EngineSamples allEvents;
    EngineSamples rxCharOnly;
    LibmodbusSamples backToBack;
    LibmodbusSamples paced;
    for (int round = 0; round < Rounds; ++round) {
        engineRound(path, perRound, AllComEvents, stamps, allEvents);
        engineRound(path, perRound, TComEvents{evRxChar}, stamps, rxCharOnly);
        libmodbusRound(path, perRound, false, stamps, backToBack);
        libmodbusRound(path, perRound, true, stamps, paced);
    }
    module.Stop();
    const std::vector<double> handOvers = handOverRoundTrips(perRound * Rounds);

    std::printf("cycles per side                     %d in %d rounds\n", perRound * Rounds, Rounds);
    printEngine("all line events (as the main window)", allEvents);
    printEngine("received characters only", rxCharOnly);
    std::printf("libmodbus (%d failed):\n", backToBack.failures + paced.failures);
    printSpread("transaction, back to back", backToBack.transactions);
    printSpread("  start to request taken by module", backToBack.taken);
    printSpread("  reply written to read returned", backToBack.received);
    printSpread("period - 2 ms, paced like the engine", paced.transactions);
    printSpread("  start to request taken by module", paced.taken);
    printSpread("  reply written to read returned", paced.received);
    std::printf("two threads waking each other:\n");
    printSpread("round trip (two wake-ups)", handOvers);
    const double transaction = median(backToBack.transactions);
    const double pacedPeriod = median(paced.transactions);
    const double overhead = median(allEvents.periods) - 2.0;
    std::printf("ratio engine overhead / libmodbus back to back  %.2f\n",
                transaction > 0.0 ? overhead / transaction : 0.0);
    std::printf("ratio engine overhead / libmodbus paced         %.2f\n",
                pacedPeriod > 0.0 ? overhead / pacedPeriod : 0.0);
    return 0;
}
