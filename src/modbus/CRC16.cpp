#include "modbus/CRC16.h"

namespace {

constexpr std::uint16_t ReflectedPolynomial = 0xA001;

constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned index = 0; index < table.size(); ++index) {
        unsigned value = index;
        for (int shift = 0; shift < 8; ++shift) {
            const bool dropsOne = (value & 1U) != 0;
            value >>= 1;
            if (dropsOne) {
                value ^= ReflectedPolynomial;
            }
        }
        table[index] = static_cast<std::uint16_t>(value);
    }
    return table;
}

} // namespace

constinit const std::array<std::uint16_t, 256> Crc16Table = makeTable();

void Crc16Update(const std::uint8_t* data, std::uint16_t count, std::uint16_t& crc) {
    for (std::uint16_t position = 0; position < count; ++position) {
        const unsigned index = (data[position] ^ crc) & 0xFFU;
        crc = static_cast<std::uint16_t>(Crc16Table[index] ^ (crc >> 8));
    }
}

std::uint16_t Crc16Of(const std::uint8_t* data, std::size_t count) {
    std::uint16_t crc = Crc16Start;
    // Crc16Update takes at most 65535 bytes at a time; longer blocks go in pieces.
    while (count > 0) {
        const auto piece = static_cast<std::uint16_t>(count > 0xFFFF ? 0xFFFF : count);
        Crc16Update(data, piece, crc);
        data += piece;
        count -= piece;
    }
    return crc;
}
