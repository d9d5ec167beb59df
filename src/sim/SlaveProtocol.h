#pragma once
// The module's side of Modbus RTU: carries out one assembled request on the
// registers and builds the reply, and bends a reply the way an armed fault asks.

#include "sim/FaultInjector.h"
#include "sim/ModuleRegisters.h"

#include <cstdint>
#include <span>
#include <vector>

namespace ModbusException {
inline constexpr std::uint8_t IllegalFunction = 0x01;
inline constexpr std::uint8_t IllegalDataAddress = 0x02;
inline constexpr std::uint8_t IllegalDataValue = 0x03;
inline constexpr std::uint8_t SlaveDeviceFailure = 0x04;
} // namespace ModbusException

inline constexpr std::uint8_t BroadcastAddress = 0;

/// Appends the CRC (low byte first) to a frame body.
std::vector<std::uint8_t> SealFrame(std::vector<std::uint8_t> body);

std::vector<std::uint8_t> BuildExceptionReply(std::uint8_t address, std::uint8_t function,
                                              std::uint8_t code);

/// Carries out a request whose CRC has been checked and returns the reply,
/// addressed like the request: the registers for function 03, the echo for
/// function 06, an exception for anything else or for registers outside 0..19.
std::vector<std::uint8_t> ExecuteRequest(ModuleRegisters& registers,
                                         std::span<const std::uint8_t> request);

/// Whether a broadcast of this request changes anything (only writes do).
bool IsBroadcastWrite(std::span<const std::uint8_t> request);

/// Applies the faults that change the reply's bytes: another address, a
/// broken CRC, trailing filler or a burst of filler past 100 bytes.
void ApplyReplyFaults(std::vector<std::uint8_t>& reply, const FaultPlan& plan);
