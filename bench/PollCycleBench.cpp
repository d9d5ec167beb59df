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

// Median tick-to-tick period of the engine over the given number of cycles.
double enginePeriod(const std::string& path, int cycles, int& misses) {
    std::FILE* discard = std::fopen("/dev/null", "w");
    TComPort port;
    port.SetPort(path);
    port.SetBaudRate(br115200);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
    ComPortAdapter adapter(port);
    RunnerView view(discard, discard);
    PollCycle cycle(adapter, view);
    QEventLoop loop;
    std::vector<double> periods;
    Clock::time_point last{};
    int ticks = 0;
    cycle.PollTimer().SetOnTimer([&] {
        const Clock::time_point now = Clock::now();
        // The first ticks include start-up; leave them out.
        if (ticks > 2) {
            periods.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        }
        last = now;
        cycle.tmr1Timer();
        if (!cycle.Polling()) {
            loop.quit();
        } else if (++ticks >= cycles + 3) {
            cycle.skButton3Click();
        }
    });
    if (!cycle.skButton2Click()) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 0.0;
    }
    loop.exec();
    misses = view.PanelText(PanelErCount).toInt();
    std::fclose(discard);
    return medianMilliseconds(periods);
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
    const int cycles = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;

    VirtualModuleOptions options;
    options.pacing = Pacing::Off;
    VirtualModule module(options);
    if (module.Start() != 0) {
        std::fprintf(stderr, "the virtual module could not start\n");
        return 1;
    }
    const std::string path = module.PortPath();

    int engineMisses = 0;
    int libmodbusFailures = 0;
    const double period = enginePeriod(path, cycles, engineMisses);
    const double transaction = libmodbusTransaction(path, cycles, libmodbusFailures);
    module.Stop();

    const double overhead = period - 2.0;
    std::printf("cycles per side:                 %d\n", cycles);
    std::printf("engine median poll period:       %.3f ms (%d missed)\n", period, engineMisses);
    std::printf("engine overhead (period - 2 ms): %.3f ms\n", overhead);
    std::printf("libmodbus median transaction:    %.3f ms (%d failed)\n", transaction,
                libmodbusFailures);
    std::printf("ratio overhead / libmodbus:      %.2f\n",
                transaction > 0.0 ? overhead / transaction : 0.0);
    return 0;
}
