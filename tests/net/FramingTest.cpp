// How the network line cuts what comes over a connection into replies: by
// the MBAP length field and transaction id (Modbus TCP), by the RTU length
// rules behind a bound (RTU over TCP), however TCP splits and merges the
// bytes, and never holding more than a frame of what a peer sends.

#include "modbus/CRC16.h"
#include "modbus/MbapFrame.h"
#include "modbus/RtuFrame.h"
#include "net/ModbusTcpFraming.h"
#include "net/RtuOverTcpFraming.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Dropped {
    Bytes bytes;
    TrafficVerdict verdict;
    bool operator==(const Dropped&) const = default;
};

class RecordingSink : public FramingSink {
public:
    void ReplyBytes(const std::uint8_t* bytes, std::size_t count) override {
        replies.insert(replies.end(), bytes, bytes + count);
    }
    void FrameDropped(const std::uint8_t* bytes, std::size_t count,
                      TrafficVerdict verdict) override {
        dropped.push_back({Bytes(bytes, bytes + count), verdict});
    }
    Bytes replies;
    std::vector<Dropped> dropped;
};

Bytes readRequest() {
    TTxFrame frame{};
    BuildReadRequest(frame, 1);
    return {frame.begin(), frame.end()};
}

// A Modbus TCP reply to a write of register 3 := 0x04D2 from unit 1.
Bytes writeReply(std::uint16_t transaction) {
    return {static_cast<std::uint8_t>(transaction >> 8),
            static_cast<std::uint8_t>(transaction),
            0,
            0,
            0,
            6,
            1,
            6,
            0,
            3,
            0x04,
            0xD2};
}

Bytes rtuOf(Bytes body) {
    const std::uint16_t crc = Crc16Of(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

} // namespace

TEST(ModbusTcpFraming, RequestsGoWithTheNextTransactionIdAndTheUnitIdForTheAddress) {
    ModbusTcpFraming framing;
    const Bytes request = readRequest();
    const Bytes promised = framing.WireRequest(request.data(), request.size());
    EXPECT_EQ(promised, (Bytes{0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 20}));
    EXPECT_EQ(framing.Encode(request.data(), request.size()), promised);
    EXPECT_EQ(framing.WireRequest(request.data(), request.size())[1], 2);
}

// However the stream is cut, the reply to the request on the line is handed
// over once, in RTU form with its CRC, and a reply to an earlier request
// that comes before it is dropped as late.
TEST(ModbusTcpFraming, RepliesAreCutByLengthAndTakenOnlyForTheRequestOnTheLine) {
    const Bytes late = writeReply(1);
    const Bytes current = writeReply(2);
    const Bytes stream = joined({late, current});
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{5}, std::size_t{7}, std::size_t{13}, stream.size()}) {
        SCOPED_TRACE(piece);
        ModbusTcpFraming framing;
        const Bytes request = readRequest();
        framing.Encode(request.data(), request.size());
        framing.Encode(request.data(), request.size());
        RecordingSink sink;
        for (std::size_t offset = 0; offset < stream.size(); offset += piece) {
            const std::size_t count = std::min(piece, stream.size() - offset);
            ASSERT_EQ(framing.Take(stream.data() + offset, count, sink), std::nullopt);
        }
        EXPECT_EQ(sink.dropped, std::vector<Dropped>({{late, TrafficVerdict::Late}}));
        const Bytes rtu = rtuOf({1, 6, 0, 3, 0x04, 0xD2});
        EXPECT_EQ(sink.replies, rtu);
        // The record shows the reply as it came.
        EXPECT_EQ(framing.WireReply(rtu.data(), rtu.size()), current);
    }
}

TEST(ModbusTcpFraming, ASecondReplyOrAnIdNeverSentIsUnexpected) {
    ModbusTcpFraming framing;
    const Bytes request = readRequest();
    framing.Encode(request.data(), request.size());
    RecordingSink sink;
    const Bytes stream = joined({writeReply(1), writeReply(1), writeReply(9)});
    ASSERT_EQ(framing.Take(stream.data(), stream.size(), sink), std::nullopt);
    EXPECT_EQ(sink.replies.size(), 8u);
    EXPECT_EQ(sink.dropped, std::vector<Dropped>({{writeReply(1), TrafficVerdict::Unexpected},
                                                  {writeReply(9), TrafficVerdict::Unexpected}}));
    // A new connection owes nothing: an id of the last one is no late reply.
    framing.Reset();
    framing.Encode(request.data(), request.size());
    RecordingSink after;
    ASSERT_EQ(framing.Take(writeReply(1).data(), 12, after), std::nullopt);
    EXPECT_EQ(after.dropped.front().verdict, TrafficVerdict::Unexpected);
}

// A header no Modbus frame can have ends the connection as soon as it is
// in, whatever the peer goes on sending: the framing holds seven bytes.
TEST(ModbusTcpFraming, AHeaderNoModbusFrameHasIsRefusedBeforeItsBodyIsWaitedFor) {
    const struct {
        Bytes header;
        const char* reason;
    } cases[] = {
        {{0, 1, 0, 0, 0xEA, 0x60, 1}, "frame length of 60000 bytes"},
        {{0, 1, 0, 0, 0, 0xFF, 1}, "frame length of 255 bytes"},
        {{0, 1, 0, 0, 0, 1, 1}, "frame length of 1 bytes"},
        {{0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5}, "protocol id 42405"},
    };
    for (const auto& [header, reason] : cases) {
        ModbusTcpFraming framing;
        RecordingSink sink;
        Bytes flood = header;
        flood.resize(65536, 0xA5);
        const auto refused = framing.Take(flood.data(), flood.size(), sink);
        ASSERT_TRUE(refused.has_value()) << reason;
        EXPECT_TRUE(refused->contains(QLatin1String(reason))) << refused->toStdString();
        ASSERT_EQ(sink.dropped.size(), 1u);
        EXPECT_LE(sink.dropped[0].bytes.size(), MbapHeaderSize);
        EXPECT_TRUE(sink.replies.empty());
    }
}

TEST(RtuOverTcpFraming, OneRequestBringsBackNoMoreThanAnRtuFrame) {
    RtuOverTcpFraming framing;
    const Bytes request = readRequest();
    EXPECT_TRUE(framing.WireRequest(request.data(), request.size()).empty());
    EXPECT_EQ(framing.Encode(request.data(), request.size()), request);
    RecordingSink sink;
    const Bytes chunk(MaxRtuFrameSize, 0x55);
    EXPECT_EQ(framing.Take(chunk.data(), chunk.size(), sink), std::nullopt);
    EXPECT_EQ(sink.replies.size(), MaxRtuFrameSize);
    EXPECT_TRUE(framing.Take(chunk.data(), 1, sink).has_value());
    // The next request starts afresh.
    framing.Encode(request.data(), request.size());
    EXPECT_EQ(framing.Take(chunk.data(), chunk.size(), sink), std::nullopt);
}
