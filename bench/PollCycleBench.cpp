// Poll-cycle overhead of the engine against libmodbus, both polling the virtual
// module over a pseudo-terminal at 115200 with the module answering at once.
//
// The engine waits 2 ms after each complete reply before the next request, so
// its median tick-to-tick period minus 2 ms is what the engine itself, the port
// component and the module spend on one transaction. libmodbus does the same
// read of 20 registers back to back; its median transaction time is the
// yardstick. The two sides take turns in rounds, so that a change of load on
// the machine hits both alike. Run by hand: build/bench/poll_cycle_bench [cycles]

#include "app/ComPortAdapter.h"
#include "app/PollCycle.h"
#include "app/RunnerView.h"
#include "platform/TimerSlack.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <modbus.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 10;
constexpr int WarmUpTicks = 3;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0.0;
    }
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

struct EngineSamples {
    std::vector<double> periods;  // tick to tick
    std::vector<double> replies;  // tick to the reply decoded
    std::vector<double> writes;   // tick to the request handed to the port
    std::vector<double> handling; // the received-characters handler that completes the reply
    int misses = 0;
};

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
void engineRound(const std::string& path, int cycles, TComEvents events, EngineSamples& samples) {
    std::FILE* discard = std::fopen("/dev/null", "w");
    TComPort port;
    configure(port, path, events);
    ComPortAdapter adapter(port);
    RunnerView view(discard, discard);
    PollCycle cycle(adapter, view);
    QEventLoop loop;
    Clock::time_point tickTime{};
    int ticks = 0;
    adapter.SetOnRxChar([&](int count) {
        const Clock::time_point arrived = Clock::now();
        cycle.ComPortRxChar(count);
        if (cycle.ReplyCode() == ReplyRead && ticks > WarmUpTicks) {
            const Clock::time_point done = Clock::now();
            samples.handling.push_back(milliseconds(done - arrived));
            samples.replies.push_back(milliseconds(done - tickTime));
        }
    });
    cycle.PollTimer().SetOnTimer([&] {
        const Clock::time_point now = Clock::now();
        if (ticks > WarmUpTicks) {
            samples.periods.push_back(milliseconds(now - tickTime));
        }
        tickTime = now;
        cycle.tmr1Timer();
        if (ticks > WarmUpTicks) {
            samples.writes.push_back(milliseconds(Clock::now() - now));
        }
        if (!cycle.Polling()) {
            loop.quit();
        } else if (++ticks >= cycles + WarmUpTicks) {
            cycle.skButton3Click();
        }
    });
    if (cycle.skButton2Click()) {
        loop.exec();
        samples.misses += view.PanelText(PanelErCount).toInt();
    } else {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
    }
    std::fclose(discard);
}

// One run of libmodbus reading the 20 registers back to back.
void libmodbusRound(const std::string& path, int cycles, std::vector<double>& times,
                    int& failures) {
    modbus_t* context = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 2);
    if (context == nullptr || modbus_connect(context) != 0) {
        std::fprintf(stderr, "libmodbus cannot open %s\n", path.c_str());
        failures += cycles;
        modbus_free(context);
        return;
    }
    modbus_set_slave(context, 1);
    std::array<std::uint16_t, 20> registers{};
    for (int i = 0; i < cycles; ++i) {
        const Clock::time_point start = Clock::now();
        const int read = modbus_read_registers(context, 0, 20, registers.data());
        const Clock::time_point end = Clock::now();
        if (read == 20) {
            times.push_back(milliseconds(end - start));
        } else {
            ++failures;
        }
    }
    modbus_close(context);
    modbus_free(context);
}

void printEngine(const char* name, const EngineSamples& samples) {
    std::printf("engine, %s:\n", name);
    std::printf("  median poll period                %.3f ms (%d missed)\n",
                median(samples.periods), samples.misses);
    std::printf("  overhead (period - 2 ms)          %.3f ms\n", median(samples.periods) - 2.0);
    std::printf("  tick to request written           %.3f ms\n", median(samples.writes));
    std::printf("  tick to reply decoded             %.3f ms\n", median(samples.replies));
    std::printf("  reply handler (read, log, decode) %.3f ms\n", median(samples.handling));
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
    if (module.Start() != 0) {
        std::fprintf(stderr, "the virtual module could not start\n");
        return 1;
    }
    const std::string path = module.PortPath();

    // The main window asks for every line event; the runner needs only received bytes.
    EngineSamples allEvents;
    EngineSamples rxCharOnly;
    std::vector<double> transactions;
    int failures = 0;
    for (int round = 0; round < Rounds; ++round) {
        engineRound(path, perRound, AllComEvents, allEvents);
        engineRound(path, perRound, TComEvents{evRxChar}, rxCharOnly);
        libmodbusRound(path, perRound, transactions, failures);
    }
    module.Stop();

    std::printf("cycles per side                     %d in %d rounds\n", perRound * Rounds, Rounds);
    printEngine("all line events (as the main window)", allEvents);
    printEngine("received characters only", rxCharOnly);
    const double transaction = median(transactions);
    const double overhead = median(allEvents.periods) - 2.0;
    std::printf("libmodbus median transaction        %.3f ms (%d failed)\n", transaction, failures);
    std::printf("ratio engine overhead / libmodbus   %.2f\n",
                transaction > 0.0 ? overhead / transaction : 0.0);
    return 0;
}
