// How fast the virtual module answers: one libmodbus read of the 20 registers
// per iteration over the module's pseudo-terminal, unpaced and paced at the
// line rate. Run by hand: ./build/bench/sim/virtual_module_bench

#include "sim/VirtualModule.h"

#include <benchmark/benchmark.h>
#include <modbus.h>

#include <cstdint>

namespace {

void readTwentyRegisters(benchmark::State& state, Pacing pacing) {
    VirtualModuleOptions options;
    options.pacing = pacing;
    VirtualModule module(options);
    if (module.Start() != 0) {
        state.SkipWithError("cannot create a pseudo-terminal");
        return;
    }
    modbus_t* master = modbus_new_rtu(module.PortPath().c_str(), 115200, 'N', 8, 2);
    modbus_set_slave(master, 1);
    if (modbus_connect(master) != 0) {
        modbus_free(master);
        state.SkipWithError("cannot open the module's port");
        return;
    }
    std::uint16_t values[20] = {};
    for (auto _ : state) {
        if (modbus_read_registers(master, 0, 20, values) != 20) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(values);
    }
    modbus_close(master);
    modbus_free(master);
}

void BM_ReadUnpaced(benchmark::State& state) {
    readTwentyRegisters(state, Pacing::Off);
}
void BM_ReadPacedAt115200(benchmark::State& state) {
    readTwentyRegisters(state, Pacing::Line);
}

BENCHMARK(BM_ReadUnpaced)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_ReadPacedAt115200)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace

BENCHMARK_MAIN();
