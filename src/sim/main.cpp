// kestro-virtual-module: serves the virtual module on a pseudo-terminal until
// it is interrupted. The port's path is the first line on standard output.

#include "platform/system/ServiceSignals.h"
#include "sim/CommandLine.h"
#include "sim/VirtualModule.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;

void logTraffic(bool received, std::span<const std::uint8_t> bytes) {
    std::string line = received ? "Rx-" : "Tx-";
    char hex[4] = {};
    for (const std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", byte);
        line += hex;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace

int main(int argc, char** argv) {
    // Blocked before the module's thread starts, so only sigwait() sees them.
    ServiceSignals::Block();

    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const CommandLineOptions options = ParseCommandLine(arguments);
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kestro-virtual-module %s\n", KESTRO_VERSION);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "kestro-virtual-module: %s\nTry --help.\n", options.error.c_str());
        return ExitUsage;
    }

    VirtualModule module(options.module);
    ApplyFaultOptions(options, module.Faults());
    if (options.verbose) {
        module.SetTrafficObserver(logTraffic);
    }
    if (const int error = module.Start(); error != 0) {
        std::fprintf(stderr, "kestro-virtual-module: cannot create a pseudo-terminal: %s\n",
                     std::strerror(error));
        return ExitFailure;
    }
    std::printf("%s\n", module.PortPath().c_str());
    std::fflush(stdout);

    while (ServiceSignals::Wait() == ServiceSignals::Request::Restart) {
        module.Restart();
        std::fprintf(stderr, "kestro-virtual-module: restarted at address %u\n",
                     static_cast<unsigned>(module.Address()));
    }
    module.Stop();
    return 0;
}
