#pragma once
// The options of kestro-virtual-module, parsed without side effects so that
// they can be checked on their own.

#include "platform/net/NetEndpoint.h"
#include "sim/FaultInjector.h"
#include "sim/VirtualModule.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FaultRequest {
    Fault fault = Fault::NoReply;
    int count = -1; ///< -1: every request
};

struct CommandLineOptions {
    VirtualModuleOptions module;
    std::vector<FaultRequest> faults;
    std::optional<std::size_t> splitChunkSize;
    std::optional<std::chrono::milliseconds> splitGap;
    std::optional<std::chrono::milliseconds> lateDelay;
    std::optional<std::uint8_t> exceptionCode;
    std::optional<std::size_t> trailingByteCount;
    std::optional<std::size_t> burstSize;
    /// Put the module on an emulated bus with a master's and a listener's port.
    bool bus = false;
    /// The listener's port receives in bunches this far apart (--bus only).
    std::chrono::milliseconds tapLatency{0};
    /// Serve over TCP on this endpoint instead of a pseudo-terminal.
    std::optional<NetEndpoint> tcpListen;
    /// Over TCP, pass the RTU frames through rather than speak Modbus TCP.
    bool rtuOverTcp = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::string error; ///< empty when the command line is sound
};

CommandLineOptions ParseCommandLine(const std::vector<std::string_view>& arguments);

/// Arms the requested faults and sets their parameters.
void ApplyFaultOptions(const CommandLineOptions& options, FaultInjector& faults);

/// The text --help prints.
std::string UsageText();
