// Poll-cycle overhead of the engine against libmodbus, both polling the virtual
// module over a pseudo-terminal at 115200 with the module answering at once.
//
// The engine waits 2 ms after each complete reply before the next request, so
// its median tick-to-tick period minus 2 ms is what the engine itself, the port
// component and the module spend on one transaction. libmodbus does the same
// read of 20 registers back to back; its median transaction time is the
// yardstick. Run by hand: build/bench/poll_cycle_bench [cycles]

#include "app/ComPortAdapter.h"
#include "app/PollCycle.h"
#include "app/RunnerView.h"
#include "platform/TimerSlack.h"
#include "serial/ComPort.h"
#include "sim/VirtualModule.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <modbus.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double medianMilliseconds(std::vector<double> samples) {
    if (samples.empty()) {
        return 0.0;
    }
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(samples.size() / 2),
                     samples.end());
    return samples[samples.size() / 2];
}

struct EngineTimes {
    double period = 0.0;   // tick to tick
    double reply = 0.0;    // tick to the reply decoded
    double write = 0.0;    // tick to the request handed to the port
    double handling = 0.0; // the received-characters handler that completes the reply
    int misses = 0;
};

// Median times of the engine over the given number of cycles.
EngineTimes engineTimes(const std::string& path, int cycles, TComEvents events) {
    std::FILE* discard = std::fopen("/dev/null", "w");
    TComPort port;
    port.SetPort(path);
    port.SetBaudRate(br115200);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
    port.SetEvents(events);
    ComPortAdapter adapter(port);
    RunnerView view(discard, discard);
    PollCycle cycle(adapter, view);
    QEventLoop loop;
    std::vector<double> periods;
    std::vector<double> replies;
    std::vector<double> writes;
    std::vector<double> handled;
    Clock::time_point last{};
    int ticks = 0;
    adapter.SetOnRxChar([&](int count) {
        const Clock::time_point arrived = Clock::now();
        cycle.ComPortRxChar(count);
        if (cycle.ReplyCode() == ReplyRead && ticks > 2) {
            handled.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - arrived).count());
        }
        if (cycle.ReplyCode() == ReplyRead && ticks > 2) {
            replies.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - last).count());
        }
    });
    cycle.PollTimer().SetOnTimer([&] {
        const Clock::time_point now = Clock::now();
        // The first ticks include start-up; leave them out.
        if (ticks > 2) {
            periods.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        }
        last = now;
        cycle.tmr1Timer();
        if (ticks > 2) {
            writes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - now).count());
        }
        if (!cycle.Polling()) {
            loop.quit();
        } else if (++ticks >= cycles + 3) {
            cycle.skButton3Click();
        }
    });
    if (!cycle.skButton2Click()) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return {};
    }
    loop.exec();
    std::fclose(discard);
    return EngineTimes{medianMilliseconds(periods), medianMilliseconds(replies),
                       medianMilliseconds(writes), medianMilliseconds(handled),
                       view.PanelText(PanelErCount).toInt()};
}

// Median time of one libmodbus read of the 20 registers.
double libmodbusTransaction(const std::string& path, int cycles, int& failures) {
    modbus_t* context = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 2);
    if (context == nullptr || modbus_connect(context) != 0) {
        std::fprintf(stderr, "libmodbus cannot open %s\n", path.c_str());
        return 0.0;
    }
    modbus_set_slave(context, 1);
    std::vector<double> times;
    std::uint16_t registers[20] = {};
    for (int i = 0; i < cycles; ++i) {
        const Clock::time_point start = Clock::now();
        const int read = modbus_read_registers(context, 0, 20, registers);
        const Clock::time_point end = Clock::now();
        if (read != 20) {
            ++failures;
            continue;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    modbus_close(context);
    modbus_free(context);
    return medianMilliseconds(times);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    UseFineTimerSlack();
    const int cycles = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;

    VirtualModuleOptions options;
    options.pacing = Pacing::Off;
    VirtualModule module(options);
    if (module.Start() != 0) {
        std::fprintf(stderr, "the virtual module could not start\n");
        return 1;
    }
    const std::string path = module.PortPath();

    int libmodbusFailures = 0;
    // The main window asks for every line event; the runner needs only received bytes.
    const EngineTimes all = engineTimes(path, cycles, AllComEvents);
    const EngineTimes received = engineTimes(path, cycles, TComEvents{evRxChar});
    const double transaction = libmodbusTransaction(path, cycles, libmodbusFailures);
    module.Stop();

    const double overhead = all.period - 2.0;
    std::printf("cycles per side:                 %d\n", cycles);
    for (const auto& [name, times] : {std::pair{"all events", all}, {"evRxChar only", received}}) {
        std::printf("engine (%s):\n", name);
        std::printf("  median poll period:            %.3f ms (%d missed)\n", times.period,
                    times.misses);
        std::printf("  overhead (period - 2 ms):      %.3f ms\n", times.period - 2.0);
        std::printf("  tick to request written:       %.3f ms\n", times.write);
        std::printf("  tick to reply decoded:         %.3f ms\n", times.reply);
        std::printf("  reply handler (read, log, decode): %.3f ms\n", times.handling);
    }
    std::printf("libmodbus median transaction:    %.3f ms (%d failed)\n", transaction,
                libmodbusFailures);
    std::printf("ratio overhead / libmodbus:      %.2f\n",
                transaction > 0.0 ? overhead / transaction : 0.0);
    return 0;
}
