#include "modbus/RtuFrame.h"
#include "modbus/CRC16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes toBytes(const TTxFrame& frame) {
    return Bytes(frame.begin(), frame.end());
}

// A read reply for the given slave with registers 0..19 = first, first + 1, ...
Bytes readReply(std::uint8_t address, std::uint16_t first) {
    Bytes reply{address, 0x03, 40};
    for (int i = 0; i < RegisterCount; ++i) {
        const auto value = static_cast<std::uint16_t>(first + i);
        reply.push_back(static_cast<std::uint8_t>(value >> 8));
        reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    const std::uint16_t crc = Crc16Of(reply.data(), reply.size());
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    return reply;
}

TEST(Crc16, TableMatchesTheReflectedPolynomial) {
    EXPECT_EQ(Crc16Table[0], 0x0000);
    EXPECT_EQ(Crc16Table[1], 0xC0C1);
    EXPECT_EQ(Crc16Table[128], 0xA001);
    EXPECT_EQ(Crc16Table[255], 0x4040);
    // Bitwise reference computed independently of the table.
    for (unsigned n = 0; n < 256; ++n) {
        unsigned crc = n;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) ? (crc >> 1) ^ 0xA001U : crc >> 1;
        }
        ASSERT_EQ(Crc16Table[n], crc) << "entry " << n;
    }
}

TEST(Crc16, KnownAnswersAndPiecewiseUpdate) {
    const std::string check = "123456789";
    const auto* data = reinterpret_cast<const std::uint8_t*>(check.data());
    EXPECT_EQ(Crc16Of(data, check.size()), 0x4B37);

    std::uint16_t crc = Crc16Start;
    Crc16Update(data, 0, crc);
    EXPECT_EQ(crc, 0xFFFF);
    Crc16Update(data, 4, crc);
    Crc16Update(data + 4, 5, crc);
    EXPECT_EQ(crc, 0x4B37);

    // The CRC of a frame followed by its own CRC (low byte first) is zero.
    Bytes reply = readReply(1, 100);
    EXPECT_EQ(Crc16Of(reply.data(), reply.size()), 0);
}

TEST(RtuFrame, ReadRequestsForSeveralAddresses) {
    TTxFrame frame{};
    BuildReadRequest(frame, 1);
    EXPECT_EQ(toBytes(frame), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5}));
    BuildReadRequest(frame, 2);
    EXPECT_EQ(toBytes(frame), (Bytes{0x02, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xF6}));
    BuildReadRequest(frame, 127);
    EXPECT_EQ(toBytes(frame), (Bytes{0x7F, 0x03, 0x00, 0x00, 0x00, 0x14, 0x4F, 0xDB}));
    // Only the low byte of the address goes out; a stale write frame is fully replaced.
    BuildWriteRequest(frame, 1, 3, 1000);
    BuildReadRequest(frame, 0x101);
    EXPECT_EQ(toBytes(frame), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5}));
}

TEST(RtuFrame, WriteRequests) {
    TTxFrame frame{};
    BuildWriteRequest(frame, 1, 3, 1000);
    EXPECT_EQ(toBytes(frame), (Bytes{0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x74}));
    BuildWriteRequest(frame, 1, 18, 26977);
    EXPECT_EQ(toBytes(frame), (Bytes{0x01, 0x06, 0x00, 0x12, 0x69, 0x61, 0xC6, 0x77}));
    BuildWriteRequest(frame, 1, 10, 1);
    EXPECT_EQ(toBytes(frame), (Bytes{0x01, 0x06, 0x00, 0x0A, 0x00, 0x01, 0x68, 0x08}));
    BuildWriteRequest(frame, 1, 17, 20000);
    EXPECT_EQ(frame[4], 0x4E);
    EXPECT_EQ(frame[5], 0x20);
    EXPECT_EQ(Crc16Of(frame.data(), frame.size()), 0);
}

TEST(RtuFrame, CompletenessFollowsTheLengthRule) {
    Bytes reply = readReply(1, 0);
    for (std::size_t count = 0; count < ReadReplySize; ++count) {
        EXPECT_FALSE(ReplyIsComplete(reply.data(), count)) << count;
    }
    EXPECT_TRUE(ReplyIsComplete(reply.data(), 45));
    EXPECT_TRUE(ReplyIsComplete(reply.data(), 60)); // trailing bytes keep it complete

    // A byte count of 0 completes at the minimum of seven bytes, not at five.
    const Bytes empty{0x01, 0x03, 0x00, 0x11, 0x22, 0x33, 0x44};
    EXPECT_FALSE(ReplyIsComplete(empty.data(), 5));
    EXPECT_FALSE(ReplyIsComplete(empty.data(), 6));
    EXPECT_TRUE(ReplyIsComplete(empty.data(), 7));

    const Bytes echo{0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x74};
    EXPECT_FALSE(ReplyIsComplete(echo.data(), 7));
    EXPECT_TRUE(ReplyIsComplete(echo.data(), 8));

    // Exception replies and unknown functions never complete, however long.
    Bytes exception{0x01, 0x83, 0x02, 0xC0, 0xF1};
    exception.resize(RxFrameSize, 0);
    EXPECT_FALSE(ReplyIsComplete(exception.data(), RxFrameSize));
    EXPECT_TRUE(IsExceptionReply(exception.data(), 5));
    EXPECT_FALSE(IsExceptionReply(exception.data(), 4));
    EXPECT_FALSE(IsExceptionReply(reply.data(), 45));

    // A byte count beyond what the buffer can hold never completes within it.
    Bytes huge{0x01, 0x03, 0xFF};
    huge.resize(RxFrameSize, 0);
    EXPECT_FALSE(ReplyIsComplete(huge.data(), RxFrameSize));
}

TEST(RtuFrame, RegisterValuesAreBigEndianAtFixedPositions) {
    TRxFrame frame{};
    const Bytes reply = readReply(1, 0xFFF0);
    std::copy(reply.begin(), reply.end(), frame.begin());
    EXPECT_EQ(RegisterValue(frame, 0), 0xFFF0);
    EXPECT_EQ(RegisterValue(frame, 15), 0xFFFF);
    EXPECT_EQ(RegisterValue(frame, 16), 0x0000); // wrapped
    EXPECT_EQ(RegisterValue(frame, 19), 0x0003);
    frame[3] = 0x12;
    frame[4] = 0x34;
    EXPECT_EQ(RegisterValue(frame, 0), 0x1234);
}

TEST(RtuFrame, SoundnessChecksCrcAddressAndByteCount) {
    Bytes reply = readReply(5, 7);
    EXPECT_TRUE(ReplyIsSound(reply.data(), reply.size(), 5));
    EXPECT_FALSE(ReplyIsSound(reply.data(), reply.size(), 6)); // another slave
    EXPECT_FALSE(ReplyIsSound(reply.data(), 44, 5));           // incomplete
    reply.push_back(0xAA);                                     // trailing noise
    EXPECT_TRUE(ReplyIsSound(reply.data(), reply.size(), 5));

    Bytes corrupted = readReply(5, 7);
    corrupted[10] ^= 0x01;
    EXPECT_FALSE(ReplyIsSound(corrupted.data(), corrupted.size(), 5));

    // A correctly summed reply with a short byte count is still refused.
    Bytes shortRead{5, 0x03, 2, 0x12, 0x34};
    const std::uint16_t crc = Crc16Of(shortRead.data(), shortRead.size());
    shortRead.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    shortRead.push_back(static_cast<std::uint8_t>(crc >> 8));
    ASSERT_TRUE(ReplyIsComplete(shortRead.data(), shortRead.size()));
    EXPECT_FALSE(ReplyIsSound(shortRead.data(), shortRead.size(), 5));

    TTxFrame echo{};
    BuildWriteRequest(echo, 5, 3, 1000);
    EXPECT_TRUE(ReplyIsSound(echo.data(), echo.size(), 5));
    echo[7] ^= 0x80;
    EXPECT_FALSE(ReplyIsSound(echo.data(), echo.size(), 5));
}

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = Crc16Of(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

TEST(RtuFrame, ReplyChecksNameTheFirstFailureInTheirFixedOrder) {
    const Bytes sound = readReply(5, 7);
    EXPECT_EQ(CheckReply(sound.data(), 44, 5), ReplyCheck::Incomplete);
    EXPECT_EQ(CheckReply(sound.data(), 45, 5), ReplyCheck::Ok);
    EXPECT_EQ(ReplyFrameLength(sound.data(), 45), 45U);
    EXPECT_EQ(ReplyFrameLength(sound.data(), 48), 45U); // trailing bytes are not the reply's
    EXPECT_EQ(ReplyFrameLength(sound.data(), 44), 0U);

    // Address before everything: a corrupted reply of another slave is its.
    Bytes foreign = readReply(6, 7);
    foreign[44] ^= 0xFF;
    EXPECT_EQ(CheckReply(foreign.data(), foreign.size(), 5), ReplyCheck::WrongAddress);

    // The exception reply is whole at five bytes; its CRC is not looked at.
    Bytes refusal{5, 0x83, 0x02, 0x00, 0x00};
    EXPECT_EQ(CheckReply(refusal.data(), 4, 5), ReplyCheck::Incomplete);
    EXPECT_EQ(CheckReply(refusal.data(), 5, 5), ReplyCheck::Exception);
    EXPECT_EQ(ExceptionCode(refusal.data()), 0x02);
    EXPECT_EQ(ReplyFrameLength(refusal.data(), 5), 5U);
    EXPECT_EQ(CheckReply(refusal.data(), 5, 6), ReplyCheck::WrongAddress);

    // Other functions never make a whole reply.
    Bytes unknown = withCrc({5, 0x04, 0x02, 0x00, 0x01});
    unknown.resize(RxFrameSize, 0);
    EXPECT_EQ(CheckReply(unknown.data(), unknown.size(), 5), ReplyCheck::Incomplete);

    // The byte count before the CRC: a short read with a wrong CRC is a count fault.
    Bytes shortRead = withCrc({5, 0x03, 2, 0x12, 0x34});
    EXPECT_EQ(CheckReply(shortRead.data(), shortRead.size(), 5), ReplyCheck::WrongCount);
    shortRead[6] ^= 0xFF;
    EXPECT_EQ(CheckReply(shortRead.data(), shortRead.size(), 5), ReplyCheck::WrongCount);

    Bytes corrupted = readReply(5, 7);
    corrupted[10] ^= 0x01;
    EXPECT_EQ(CheckReply(corrupted.data(), corrupted.size(), 5), ReplyCheck::BadCrc);

    // The echo of a write is judged by its own length of eight bytes.
    TTxFrame echo{};
    BuildWriteRequest(echo, 5, 3, 1000);
    EXPECT_EQ(CheckReply(echo.data(), echo.size(), 5), ReplyCheck::Ok);
    echo[7] ^= 0x80;
    EXPECT_EQ(CheckReply(echo.data(), echo.size(), 5), ReplyCheck::BadCrc);
}

} // namespace
