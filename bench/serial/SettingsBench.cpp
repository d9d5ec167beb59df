// How long storing and restoring the port settings takes (the main window does
// one of each per run, so this only has to stay far below what a user notices),
// and how long listing the serial ports for the setup dialog takes.

#include "platform/serial/SerialPortList.h"
#include "serial/ComPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr char kLocation[] = "HKEY_LOCAL_MACHINE\\Software\\KESTRO_MODBUS_M";

// Every benchmark works in a folder of its own, never in the user's settings.
class ScratchConfig {
public:
    ScratchConfig() { qputenv("KESTRO_CONFIG_DIR", QFile::encodeName(m_folder.path())); }
    ~ScratchConfig() { qunsetenv("KESTRO_CONFIG_DIR"); }

private:
    QTemporaryDir m_folder;
};

void configure(TComPort& port, bool allGroups) {
    port.SetName("ComPort");
    port.SetPort("ttyUSB0");
    if (allGroups)
        port.SetSavedGroups({sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers});
}

void SaveSettings(benchmark::State& state) {
    ScratchConfig config;
    TComPort port;
    configure(port, state.range(0) != 0);
    for (auto _ : state)
        port.SaveSettings(ssRegistry, kLocation);
}
BENCHMARK(SaveSettings)->Arg(0)->Arg(1)->ArgName("allGroups");

void RestoreSettings(benchmark::State& state) {
    ScratchConfig config;
    TComPort port;
    configure(port, state.range(0) != 0);
    port.SaveSettings(ssRegistry, kLocation);
    for (auto _ : state)
        port.RestoreSettings(ssRegistry, kLocation);
}
BENCHMARK(RestoreSettings)->Arg(0)->Arg(1)->ArgName("allGroups");

void ListPorts(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(listSerialPortNames());
}
BENCHMARK(ListPorts);

} // namespace

BENCHMARK_MAIN();
