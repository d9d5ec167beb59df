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
