// kestro-virtual-module: serves the virtual module on a pseudo-terminal until
// it is interrupted. The port's path is the first line on standard output.

#include "platform/serial/PseudoTerminal.h"
#include "platform/system/ServiceSignals.h"
#include "sim/CommandLine.h"
#include "sim/ModuleServer.h"
#include "sim/ReplyTransmitter.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualModule.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;
// A start bit, eight data bits and two stop bits: the module's framing.
constexpr unsigned BitsPerCharacter = 11;

void logTraffic(bool received, std::span<const std::uint8_t> bytes) {
    std::string line = received ? "Rx-" : "Tx-";
    char hex[4] = {};
    for (const std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", byte);
        line += hex;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

void printPort(const VirtualModule& module) {
    std::printf("%s\n", module.PortPath().c_str());
    std::fflush(stdout);
}

// Carries out what a signal asks for; false when the module is to end.
bool serveRequest(VirtualModule& module, ServiceSignals::Request request) {
    switch (request) {
    case ServiceSignals::Request::Restart:
        module.Restart();
        std::fprintf(stderr, "kestro-virtual-module: restarted at address %u\n",
                     static_cast<unsigned>(module.Address()));
        return true;
    case ServiceSignals::Request::Unplug:
        module.Unplug();
        std::fprintf(stderr, "kestro-virtual-module: unplugged\n");
        return true;
    case ServiceSignals::Request::PlugIn:
        if (const int error = module.PlugIn(); error != 0) {
            std::fprintf(stderr, "kestro-virtual-module: cannot plug in: %s\n",
                         std::strerror(error));
            return true;
        }
        std::fprintf(stderr, "kestro-virtual-module: plugged in\n");
        printPort(module);
        return true;
    case ServiceSignals::Request::Terminate:
        break;
    }
    return false;
}

// The module on an emulated bus: a master's port and a listener's port, one
// line each, until interrupted.
int serveBus(VirtualModule& module, const CommandLineOptions& options) {
    VirtualBusOptions busOptions;
    busOptions.baudRate = options.module.baudRate;
    busOptions.tapLatency = options.tapLatency;
    VirtualBus bus(busOptions);
    if (const int error = bus.Start(module.PortPath()); error != 0) {
        std::fprintf(stderr, "kestro-virtual-module: cannot create the bus: %s\n",
                     std::strerror(error));
        module.Stop();
        return ExitFailure;
    }
    std::printf("%s\n%s\n", bus.MasterPath().c_str(), bus.TapPath().c_str());
    std::fflush(stdout);
    for (ServiceSignals::Request request = ServiceSignals::Wait();
         request != ServiceSignals::Request::Terminate; request = ServiceSignals::Wait()) {
        if (request == ServiceSignals::Request::Restart) {
            module.Restart();
        }
    }
    bus.Stop();
    module.Stop();
    if (bus.BytesFromTap() > 0) {
        std::fprintf(stderr, "kestro-virtual-module: the listener sent %llu bytes\n",
                     static_cast<unsigned long long>(bus.BytesFromTap()));
    }
    return 0;
}

// The module over TCP until it is told to end: SIGUSR2 takes the server
// away, SIGUSR1 brings it back, SIGHUP restarts the module.
int serveOverTcp(VirtualModule& module, const CommandLineOptions& options) {
    // Line pacing follows the client's port, which TCP does not have.
    const auto characterTime = options.module.pacing == Pacing::Fixed
                                   ? CharacterTime(options.module.baudRate, BitsPerCharacter)
                                   : std::chrono::nanoseconds::zero();
    ModuleServer server(module,
                        options.rtuOverTcp ? ModuleServer::Framing::RtuOverTcp
                                           : ModuleServer::Framing::ModbusTcp,
                        characterTime);
    if (const NetResult failure = server.Start(*options.tcpListen)) {
        std::fprintf(stderr, "kestro-virtual-module: cannot listen on %s: %s\n",
                     EndpointText(*options.tcpListen).toUtf8().constData(),
                     failure->text.toUtf8().constData());
        return ExitFailure;
    }
    const auto printEndpoint = [&server] {
        std::printf("%s\n", EndpointText(server.Bound()).toUtf8().constData());
        std::fflush(stdout);
    };
    printEndpoint();
    for (;;) {
        switch (ServiceSignals::Wait()) {
        case ServiceSignals::Request::Restart:
            module.Restart();
            std::fprintf(stderr, "kestro-virtual-module: restarted at address %u\n",
                         static_cast<unsigned>(module.Address()));
            break;
        case ServiceSignals::Request::Unplug:
            server.Unplug();
            std::fprintf(stderr, "kestro-virtual-module: server gone\n");
            break;
        case ServiceSignals::Request::PlugIn:
            if (const NetResult failure = server.PlugIn()) {
                std::fprintf(stderr, "kestro-virtual-module: cannot listen again: %s\n",
                             failure->text.toUtf8().constData());
                break;
            }
            std::fprintf(stderr, "kestro-virtual-module: server back\n");
            printEndpoint();
            break;
        case ServiceSignals::Request::Terminate:
            server.Stop();
            return 0;
        }
    }
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
    if (options.tcpListen) {
        return serveOverTcp(module, options);
    }
    if (!pseudoTerminalsAvailable()) {
        std::fprintf(stderr, "kestro-virtual-module: this system has no pseudo-terminals; "
                             "serve over TCP with --tcp-listen [HOST:]PORT\n");
        return ExitFailure;
    }
    if (const int error = module.Start(); error != 0) {
        std::fprintf(stderr, "kestro-virtual-module: cannot create the port: %s\n",
                     std::strerror(error));
        return ExitFailure;
    }
    if (options.bus) {
        return serveBus(module, options);
    }
    printPort(module);
    while (serveRequest(module, ServiceSignals::Wait())) {
    }
    module.Stop();
    return 0;
}
