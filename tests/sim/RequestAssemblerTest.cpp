// Framing of requests by CRC search, without a line.

#include "sim/RequestAssembler.h"
#include "modbus/CRC16.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes ReadRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};
const Bytes WriteRequest = {0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x74};

Bytes withCrc(Bytes body) {
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

TEST(RequestAssembler, RequestArrivingByteByByteIsTakenOnceWhenWhole) {
    RequestAssembler assembler;
    for (std::size_t index = 0; index + 1 < ReadRequest.size(); ++index) {
        assembler.Append(std::span(&ReadRequest[index], 1));
        EXPECT_FALSE(assembler.TakeRequest()) << "after byte " << index;
        EXPECT_FALSE(assembler.LineIdle()) << "a silence inside a request keeps it";
    }
    assembler.Append(std::span(&ReadRequest.back(), 1));
    EXPECT_EQ(assembler.TakeRequest(), ReadRequest);
    EXPECT_FALSE(assembler.TakeRequest());
    EXPECT_EQ(assembler.PendingBytes(), 0u);
    EXPECT_EQ(assembler.DiscardedBytes(), 0u);
}

TEST(RequestAssembler, GarbageBeforeRequestsIsSkipped) {
    RequestAssembler assembler;
    // The garbage starts like frames of known functions, one of them long.
    const Bytes garbage = {0x01, 0x10, 0x00, 0x00, 0x00, 0x02, 0x04, 0x06, 0x03};
    assembler.Append(joined({garbage, ReadRequest, {0xAA}, WriteRequest}));
    EXPECT_EQ(assembler.TakeRequest(), ReadRequest);
    EXPECT_EQ(assembler.TakeRequest(), WriteRequest);
    EXPECT_FALSE(assembler.TakeRequest());
    EXPECT_EQ(assembler.DiscardedBytes(), garbage.size() + 1);
}

TEST(RequestAssembler, BrokenRequestIsNotTakenButTheNextOneIs) {
    RequestAssembler assembler;
    Bytes broken = ReadRequest;
    broken[5] = 0x13;
    assembler.Append(broken);
    EXPECT_FALSE(assembler.TakeRequest());
    assembler.Append(WriteRequest);
    EXPECT_EQ(assembler.TakeRequest(), WriteRequest);
}

TEST(RequestAssembler, LengthsOfOtherFunctionsComeFromTheirCounts) {
    RequestAssembler assembler;
    const Bytes writeMultiple = withCrc({0x01, 0x10, 0x00, 0x02, 0x00, 0x02, 0x04, 0, 1, 0, 2});
    const Bytes readInputs = withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x02});
    const Bytes reportId = withCrc({0x01, 0x11});
    assembler.Append(joined({writeMultiple, readInputs, reportId}));
    EXPECT_EQ(assembler.TakeRequest(), writeMultiple);
    EXPECT_EQ(assembler.TakeRequest(), readInputs);
    EXPECT_EQ(assembler.TakeRequest(), reportId);
}

TEST(RequestAssembler, UnknownFunctionEndsAtTheSilence) {
    RequestAssembler assembler;
    const Bytes custom = withCrc({0x01, 0x41, 0x12, 0x34});
    assembler.Append(joined({{0x55, 0x66}, custom}));
    EXPECT_FALSE(assembler.TakeRequest()) << "its length is unknown until the line is quiet";
    EXPECT_EQ(assembler.LineIdle(), custom);
    EXPECT_EQ(assembler.PendingBytes(), 0u);
}

TEST(RequestAssembler, SilenceDropsGarbageButKeepsAStartedRequest) {
    RequestAssembler assembler;
    assembler.Append(Bytes{0x41, 0x42, 0x43, 0x44, 0x45});
    EXPECT_FALSE(assembler.LineIdle());
    EXPECT_LE(assembler.PendingBytes(), 1u) << "garbage is dropped at the silence";

    assembler.Clear();
    const Bytes head(ReadRequest.begin(), ReadRequest.begin() + 5);
    assembler.Append(head);
    EXPECT_FALSE(assembler.LineIdle());
    EXPECT_EQ(assembler.PendingBytes(), head.size());
    assembler.Append(std::span(ReadRequest).subspan(5));
    EXPECT_EQ(assembler.TakeRequest(), ReadRequest);
}

TEST(RequestAssembler, EndlessGarbageIsBoundedAndDoesNotHideTheNextRequest) {
    RequestAssembler assembler;
    Bytes garbage(5000);
    for (std::size_t index = 0; index < garbage.size(); ++index) {
        garbage[index] = static_cast<std::uint8_t>(index * 37 + 11);
    }
    for (std::size_t offset = 0; offset < garbage.size(); offset += 100) {
        assembler.Append(std::span(garbage).subspan(offset, 100));
        assembler.TakeRequest();
        EXPECT_LE(assembler.PendingBytes(), RequestAssembler::MaxFrameSize);
    }
    assembler.Append(ReadRequest);
    EXPECT_EQ(assembler.TakeRequest(), ReadRequest);
}

} // namespace
