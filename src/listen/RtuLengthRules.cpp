#include "listen/RtuLengthRules.h"

#include "modbus/RtuFrame.h"

namespace {

// Function codes by the shape of their frames.
constexpr std::uint8_t ReadCoils = 0x01;
constexpr std::uint8_t ReadDiscreteInputs = 0x02;
constexpr std::uint8_t ReadHolding = 0x03;
constexpr std::uint8_t ReadInput = 0x04;
constexpr std::uint8_t WriteCoil = 0x05;
constexpr std::uint8_t WriteRegister = 0x06;
constexpr std::uint8_t ReadExceptionStatus = 0x07;
constexpr std::uint8_t CommEventCounter = 0x0B;
constexpr std::uint8_t CommEventLog = 0x0C;
constexpr std::uint8_t WriteCoils = 0x0F;
constexpr std::uint8_t WriteRegisters = 0x10;
constexpr std::uint8_t ReportServerId = 0x11;
constexpr std::uint8_t MaskWriteRegister = 0x16;
constexpr std::uint8_t ReadWriteRegisters = 0x17;

// Address, function, byte count, then the counted bytes and the CRC.
constexpr std::size_t CountedOverhead = 5;
constexpr std::size_t CountOffset = 2;
// The writes of several values carry their byte count after the start and quantity.
constexpr std::size_t WriteManyCountOffset = 6;
constexpr std::size_t WriteManyOverhead = 9;
// The read/write of several registers carries it after both starts and quantities.
constexpr std::size_t ReadWriteCountOffset = 10;
constexpr std::size_t ReadWriteOverhead = 13;

constexpr std::size_t Fixed4 = 4;
constexpr std::size_t Fixed8 = 8;
constexpr std::size_t Fixed10 = 10;

FrameLength known(std::size_t length) {
    if (length > LongestRtuFrame) {
        return {};
    }
    return {FrameLength::Outcome::Known, length};
}

// A length of `overhead` plus the byte count found at `offset`.
FrameLength counted(const std::uint8_t* bytes, std::size_t available, std::size_t offset,
                    std::size_t overhead) {
    if (available <= offset) {
        return {FrameLength::Outcome::NeedMore, offset + 1};
    }
    return known(overhead + bytes[offset]);
}

FrameLength requestLength(const std::uint8_t* bytes, std::size_t available) {
    switch (bytes[1]) {
    case ReadCoils:
    case ReadDiscreteInputs:
    case ReadHolding:
    case ReadInput:
    case WriteCoil:
    case WriteRegister:
        return known(Fixed8);
    case ReadExceptionStatus:
    case CommEventCounter:
    case CommEventLog:
    case ReportServerId:
        return known(Fixed4);
    case WriteCoils:
    case WriteRegisters:
        return counted(bytes, available, WriteManyCountOffset, WriteManyOverhead);
    case MaskWriteRegister:
        return known(Fixed10);
    case ReadWriteRegisters:
        return counted(bytes, available, ReadWriteCountOffset, ReadWriteOverhead);
    default:
        return {};
    }
}

FrameLength replyLength(const std::uint8_t* bytes, std::size_t available) {
    const std::uint8_t function = bytes[1];
    if ((function & ExceptionFlag) != 0) {
        // Any function may be refused, including those without a rule here.
        return function == ExceptionFlag ? FrameLength{} : known(ExceptionReplySize);
    }
    switch (function) {
    case ReadCoils:
    case ReadDiscreteInputs:
    case ReadHolding:
    case ReadInput:
    case CommEventLog:
    case ReportServerId:
    case ReadWriteRegisters:
        return counted(bytes, available, CountOffset, CountedOverhead);
    case WriteCoil:
    case WriteRegister:
    case CommEventCounter:
    case WriteCoils:
    case WriteRegisters:
        return known(Fixed8);
    case ReadExceptionStatus:
        return known(ExceptionReplySize);
    case MaskWriteRegister:
        return known(Fixed10);
    default:
        return {};
    }
}

} // namespace

FrameLength RtuFrameLength(FrameRole role, const std::uint8_t* bytes, std::size_t available) {
    if (available < 1) {
        return {FrameLength::Outcome::NeedMore, 2};
    }
    const std::uint8_t address = bytes[0];
    if (address > HighestSlaveAddress || (role == FrameRole::Reply && address == 0)) {
        return {};
    }
    if (available < 2) {
        return {FrameLength::Outcome::NeedMore, 2};
    }
    return role == FrameRole::Request ? requestLength(bytes, available)
                                      : replyLength(bytes, available);
}

bool HasLengthRule(FrameRole role, std::uint8_t function) {
    // Two bytes suffice to tell: the counted forms answer NeedMore.
    const std::uint8_t bytes[2] = {1, function};
    return RtuFrameLength(role, bytes, 2).outcome != FrameLength::Outcome::None;
}
