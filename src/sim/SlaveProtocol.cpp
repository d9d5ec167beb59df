#include "sim/SlaveProtocol.h"

#include "modbus/CRC16.h"

#include <algorithm>

namespace {

constexpr std::uint8_t ReadHoldingRegisters = 0x03;
constexpr std::uint8_t WriteSingleRegister = 0x06;
constexpr std::uint8_t ExceptionBit = 0x80;
constexpr std::uint16_t MaximumReadQuantity = 125;
constexpr std::uint8_t FillerByte = 0xFF;
// A frame body is everything but the two CRC bytes.
constexpr std::size_t CrcSize = 2;

std::uint16_t wordAt(std::span<const std::uint8_t> frame, std::size_t position) {
    return static_cast<std::uint16_t>(frame[position] << 8 | frame[position + 1]);
}

void appendWord(std::vector<std::uint8_t>& body, std::uint16_t value) {
    body.push_back(static_cast<std::uint8_t>(value >> 8));
    body.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::vector<std::uint8_t> readHoldingRegisters(ModuleRegisters& registers,
                                               std::span<const std::uint8_t> request) {
    const std::uint8_t address = request[0];
    const std::uint16_t first = wordAt(request, 2);
    const std::uint16_t quantity = wordAt(request, 4);
    if (quantity == 0 || quantity > MaximumReadQuantity) {
        return BuildExceptionReply(address, ReadHoldingRegisters,
                                   ModbusException::IllegalDataValue);
    }
    if (first + quantity > RegisterCount) {
        return BuildExceptionReply(address, ReadHoldingRegisters,
                                   ModbusException::IllegalDataAddress);
    }
    registers.Sample();
    std::vector<std::uint8_t> body = {address, ReadHoldingRegisters,
                                      static_cast<std::uint8_t>(2 * quantity)};
    for (int index = first; index < first + quantity; ++index) {
        appendWord(body, registers.Value(index));
    }
    return SealFrame(std::move(body));
}

std::vector<std::uint8_t> writeSingleRegister(ModuleRegisters& registers,
                                              std::span<const std::uint8_t> request) {
    const std::uint8_t address = request[0];
    const std::uint16_t target = wordAt(request, 2);
    const std::uint16_t value = wordAt(request, 4);
    switch (registers.Write(target, value)) {
    case WriteOutcome::Accepted:
        // The echo repeats the request, CRC and all.
        return std::vector<std::uint8_t>(request.begin(), request.end());
    case WriteOutcome::IllegalAddress:
        return BuildExceptionReply(address, WriteSingleRegister,
                                   ModbusException::IllegalDataAddress);
    case WriteOutcome::IllegalValue:
        break;
    }
    return BuildExceptionReply(address, WriteSingleRegister, ModbusException::IllegalDataValue);
}

// The caller makes sure the frame is longer than its CRC. Erased rather than
// resized: GCC takes the shrinking resize for a huge one in sanitizer builds.
void resealFrame(std::vector<std::uint8_t>& frame) {
    frame.erase(frame.end() - CrcSize, frame.end());
    frame = SealFrame(std::move(frame));
}

} // namespace

std::vector<std::uint8_t> SealFrame(std::vector<std::uint8_t> body) {
    const std::uint16_t crc = Crc16Of(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

std::vector<std::uint8_t> BuildExceptionReply(std::uint8_t address, std::uint8_t function,
                                              std::uint8_t code) {
    return SealFrame({address, static_cast<std::uint8_t>(function | ExceptionBit), code});
}

std::vector<std::uint8_t> ExecuteRequest(ModuleRegisters& registers,
                                         std::span<const std::uint8_t> request) {
    const std::uint8_t address = request[0];
    const std::uint8_t function = request[1];
    // Both functions the module knows have 8-byte requests; the assembler
    // guarantees that length for them.
    if (function == ReadHoldingRegisters && request.size() == 8) {
        return readHoldingRegisters(registers, request);
    }
    if (function == WriteSingleRegister && request.size() == 8) {
        return writeSingleRegister(registers, request);
    }
    return BuildExceptionReply(address, function, ModbusException::IllegalFunction);
}

bool IsBroadcastWrite(std::span<const std::uint8_t> request) {
    return request.size() == 8 && request[0] == BroadcastAddress &&
           request[1] == WriteSingleRegister;
}

void ApplyReplyFaults(std::vector<std::uint8_t>& reply, const FaultPlan& plan) {
    if (reply.size() <= CrcSize) {
        return;
    }
    if (plan.Has(Fault::WrongAddress)) {
        // Another slave's reply: still a sound frame, just not from this module.
        reply[0] = static_cast<std::uint8_t>(reply[0] % 247 + 1);
        resealFrame(reply);
    }
    if (plan.Has(Fault::WrongCrc)) {
        reply[reply.size() - 2] ^= 0xFF;
        reply[reply.size() - 1] ^= 0xFF;
    }
    if (plan.Has(Fault::TrailingBytes)) {
        reply.insert(reply.end(), plan.trailingByteCount, FillerByte);
    }
    if (plan.Has(Fault::Burst)) {
        reply.resize(std::max(plan.burstSize, reply.size() + 1), FillerByte);
    }
}
