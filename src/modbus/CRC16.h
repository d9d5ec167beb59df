#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// CRC-16/MODBUS: reflected polynomial 0xA001, start value 0xFFFF, no final XOR.
// On the line the CRC goes low byte first.

inline constexpr std::uint16_t Crc16Start = 0xFFFF;

// Entry n is n shifted right eight times through the reflected polynomial.
extern const std::array<std::uint16_t, 256> Crc16Table;

// Runs the CRC over count bytes of data. The caller owns crc and sets it to
// Crc16Start before the first block, so a frame can be summed in pieces.
void Crc16Update(const std::uint8_t* data, std::uint16_t count, std::uint16_t& crc);

// The CRC of one whole block, started from Crc16Start.
std::uint16_t Crc16Of(const std::uint8_t* data, std::size_t count);
