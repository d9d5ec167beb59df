#include "modbus/RtuFrame.h"

#include "modbus/CRC16.h"

namespace {

constexpr std::size_t MinimumReplySize = 7;

int hexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return 0;
}

// Byte i of the template: the two digits at 0-based positions 3i + 1 and 3i + 2.
std::uint8_t templateByte(std::size_t i) {
    const std::size_t position = 3 * i + 1;
    return static_cast<std::uint8_t>(hexDigitValue(ReadRequestTemplate[position]) * 16 +
                                     hexDigitValue(ReadRequestTemplate[position + 1]));
}

// Length of the frame proper by the completeness rule, 0 for an unknown function.
std::size_t frameLength(const std::uint8_t* rxFrame) {
    switch (rxFrame[1]) {
    case FunctionReadHolding:
        return std::size_t{rxFrame[2]} + 5;
    case FunctionWriteSingle:
        return WriteReplySize;
    default:
        return 0;
    }
}

} // namespace

void AppendCrc(TTxFrame& txFrame) {
    std::uint16_t crc = Crc16Start;
    Crc16Update(txFrame.data(), 6, crc);
    txFrame[6] = static_cast<std::uint8_t>(crc & 0xFF);
    txFrame[7] = static_cast<std::uint8_t>(crc >> 8);
}

void BuildReadRequest(TTxFrame& txFrame, int address) {
    txFrame[0] = static_cast<std::uint8_t>(address & 0xFF);
    for (std::size_t i = 1; i <= 5; ++i) {
        txFrame[i] = templateByte(i);
    }
    AppendCrc(txFrame);
}

void BuildWriteRequest(TTxFrame& txFrame, int address, std::uint8_t registerIndex,
                       std::uint16_t value) {
    txFrame[0] = static_cast<std::uint8_t>(address & 0xFF);
    txFrame[1] = FunctionWriteSingle;
    txFrame[2] = 0x00;
    txFrame[3] = registerIndex;
    txFrame[4] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    txFrame[5] = static_cast<std::uint8_t>(value & 0xFF);
    AppendCrc(txFrame);
}

bool ReplyIsComplete(const std::uint8_t* rxFrame, std::size_t rxCount) {
    if (rxCount < MinimumReplySize) {
        return false;
    }
    const std::size_t length = frameLength(rxFrame);
    return length != 0 && rxCount >= length;
}

std::uint16_t RegisterValue(const TRxFrame& rxFrame, int i) {
    const auto high = static_cast<std::size_t>(3 + 2 * i);
    return static_cast<std::uint16_t>(rxFrame.at(high) * 256 + rxFrame.at(high + 1));
}

std::size_t ReplyFrameLength(const std::uint8_t* rxFrame, std::size_t rxCount) {
    if (IsExceptionReply(rxFrame, rxCount)) {
        return ExceptionReplySize;
    }
    return ReplyIsComplete(rxFrame, rxCount) ? frameLength(rxFrame) : 0;
}

ReplyCheck CheckReply(const std::uint8_t* rxFrame, std::size_t rxCount, int address) {
    const std::size_t length = ReplyFrameLength(rxFrame, rxCount);
    if (length == 0) {
        return ReplyCheck::Incomplete;
    }
    if (rxFrame[0] != static_cast<std::uint8_t>(address & 0xFF)) {
        return ReplyCheck::WrongAddress;
    }
    if ((rxFrame[1] & ExceptionFlag) != 0) {
        return ReplyCheck::Exception;
    }
    if (rxFrame[1] == FunctionReadHolding && rxFrame[2] != ReadReplyByteCount) {
        return ReplyCheck::WrongCount;
    }
    const std::uint16_t crc = Crc16Of(rxFrame, length - 2);
    if (rxFrame[length - 2] != (crc & 0xFF) || rxFrame[length - 1] != (crc >> 8)) {
        return ReplyCheck::BadCrc;
    }
    return ReplyCheck::Ok;
}

bool ReplyIsSound(const std::uint8_t* rxFrame, std::size_t rxCount, int address) {
    return CheckReply(rxFrame, rxCount, address) == ReplyCheck::Ok;
}

bool IsExceptionReply(const std::uint8_t* rxFrame, std::size_t rxCount) {
    return rxCount >= ExceptionReplySize && (rxFrame[1] & ExceptionFlag) != 0;
}
