// The splitter finds the frames of a Modbus RTU bus in the bytes a listener
// hears, however the bytes are cut into deliveries and whether or not the
// silences between frames survive the adapter.

#include "listen/RtuSplitter.h"
#include "tests/listen/BusFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

using namespace std::chrono_literals;
using namespace bus;
using Kind = BusFrame::Kind;

// 9600 baud with two stop bits.
constexpr auto Character = 1146us;
constexpr auto Silence = 4011us;
constexpr auto UsbTimer = 16ms;

struct Expected {
    Kind kind;
    bool sound;
    Bytes bytes;
};

std::string describe(Kind kind, bool sound, const Bytes& bytes) {
    std::string text = kind == Kind::Request ? "request" : kind == Kind::Reply ? "reply" : "noise";
    text += sound ? " " : " (broken) ";
    for (const std::uint8_t byte : bytes) {
        static const char* digits = "0123456789ABCDEF";
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
        text += ' ';
    }
    return text;
}

std::vector<std::string> describeAll(const std::vector<BusFrame>& frames) {
    std::vector<std::string> texts;
    for (const BusFrame& frame : frames) {
        texts.push_back(describe(frame.kind, frame.sound, frame.bytes));
    }
    return texts;
}

std::vector<std::string> describeAll(const std::vector<Expected>& frames) {
    std::vector<std::string> texts;
    for (const Expected& frame : frames) {
        texts.push_back(describe(frame.kind, frame.sound, frame.bytes));
    }
    return texts;
}

enum class Cut { Whole, ByteByByte, Random };

struct Delivery {
    const char* name;
    bool bunched; // through a USB adapter's 16 ms timer
    Cut cut;
};

// Feeds the timeline in pieces as the delivery cuts it, then flushes.
std::vector<BusFrame> split(const Timeline& timeline, Cut cut, std::size_t* mostHeld = nullptr) {
    RtuSplitter splitter;
    splitter.SetSilence(Silence);
    std::vector<BusFrame> frames;
    std::mt19937 random(7);
    std::size_t at = 0;
    while (at < timeline.bytes.size()) {
        std::size_t piece = timeline.bytes.size() - at;
        if (cut == Cut::ByteByByte) {
            piece = 1;
        } else if (cut == Cut::Random) {
            piece = std::min<std::size_t>(piece, 1 + random() % 70);
        }
        splitter.Feed(timeline.bytes.data() + at, timeline.times.data() + at, piece, frames);
        at += piece;
        if (mostHeld != nullptr) {
            *mostHeld = std::max(*mostHeld, splitter.Held());
        }
    }
    splitter.Flush(frames);
    EXPECT_EQ(splitter.Held(), 0u);
    return frames;
}

Timeline timelineOf(const std::vector<Expected>& frames, bool bunched) {
    Timeline line;
    LineTimes times(Character, Silence);
    for (const Expected& frame : frames) {
        times.frame(frame.bytes, line);
    }
    return bunched ? bus::bunched(line, UsbTimer) : line;
}

class EveryDelivery : public ::testing::TestWithParam<Delivery> {};

// Requests and replies of every shape the rules know, each told apart by
// them alone: a write and its echo look the same and are told apart by order.
TEST_P(EveryDelivery, FindsEveryRequestAndReplyByTheRulesOfItsFunction) {
    const Bytes coils = withCrc({1, 1, 2, 0xAA, 0x03});
    std::vector<Expected> frames = {
        {Kind::Request, true, readRequest(1, 0, 20)},
        {Kind::Reply, true, readReply(1, counting(100, 20))},
        {Kind::Request, true, writeRegister(1, 3, 1000)},
        {Kind::Reply, true, writeRegister(1, 3, 1000)},
        {Kind::Request, true, writeRegisters(1, 10, {1, 2})},
        {Kind::Reply, true, writeRegistersReply(1, 10, 2)},
        {Kind::Request, true, readRequest(1, 0x63, 1)},
        {Kind::Reply, true, exceptionReply(1, 3, 2)},
        {Kind::Request, true, writeRegister(0, 10, 1)}, // broadcast: no reply
        {Kind::Request, true, readRequest(2, 0, 2, 4)},
        {Kind::Reply, true, readReply(2, {7, 8}, 4)},
        {Kind::Request, true, readRequest(1, 0, 10, 1)},
        {Kind::Reply, true, coils},
        {Kind::Request, true, readRequest(1, 0, 20)},
        {Kind::Reply, true, readReply(1, counting(200, 20))},
    };
    if (!GetParam().bunched) {
        // A function without a length rule is found by its CRC at the silence
        // behind it, which only a line that keeps its silences shows.
        frames.push_back({Kind::Request, true, withCrc({1, 0x2B, 0x0E, 0x01, 0x00})});
        frames.push_back(
            {Kind::Reply, true, withCrc({1, 0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 'K', 'M'})});
    }
    const auto found = split(timelineOf(frames, GetParam().bunched), GetParam().cut);
    EXPECT_EQ(describeAll(found), describeAll(frames));
}

struct FaultCase {
    const char* name;
    std::vector<Expected> heard; // in order; noise and tails marked Unexpected
    bool tailJoined = false;     // the second frame follows the first without a silence
};

TEST_P(EveryDelivery, NamesEveryFaultAndFindsTheNextFrame) {
    const Bytes request = readRequest(1, 0, 20);
    const Bytes reply = readReply(1, counting(100, 20));
    Bytes broken = reply;
    broken.back() ^= 0xFF;
    const Bytes noise = {0xFA, 0x3C, 0x91, 0xFE, 0x07, 0xE2};
    const Bytes lateTail(reply.end() - 20, reply.end());
    const std::vector<FaultCase> cases = {
        {"a broken CRC",
         {{Kind::Request, true, request},
          {Kind::Reply, false, broken},
          {Kind::Request, true, request},
          {Kind::Reply, true, reply}}},
        {"a missing reply",
         {{Kind::Request, true, request},
          {Kind::Request, true, request},
          {Kind::Reply, true, reply}}},
        {"trailing bytes",
         {{Kind::Request, true, request},
          {Kind::Reply, true, reply},
          {Kind::Unexpected, false, {0xFF, 0xFF, 0xFF}},
          {Kind::Request, true, request},
          {Kind::Reply, true, reply}},
         true},
        {"noise between frames",
         {{Kind::Request, true, request},
          {Kind::Reply, true, reply},
          {Kind::Unexpected, false, noise},
          {Kind::Request, true, request},
          {Kind::Reply, true, reply}}},
        {"listening begun inside a frame",
         {{Kind::Unexpected, false, lateTail},
          {Kind::Request, true, request},
          {Kind::Reply, true, reply}}},
    };
    for (const FaultCase& fault : cases) {
        Timeline line;
        LineTimes times(Character, Silence);
        for (std::size_t i = 0; i < fault.heard.size(); ++i) {
            const bool tail = fault.tailJoined && fault.heard[i].kind == Kind::Unexpected;
            if (tail) {
                times.tail(fault.heard[i].bytes, line);
            } else {
                times.frame(fault.heard[i].bytes, line);
            }
        }
        const Timeline heard = GetParam().bunched ? bunched(line, UsbTimer) : line;
        EXPECT_EQ(describeAll(split(heard, GetParam().cut)), describeAll(fault.heard))
            << fault.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Splitter, EveryDelivery,
                         ::testing::Values(Delivery{"LineInOnePiece", false, Cut::Whole},
                                           Delivery{"LineByteByByte", false, Cut::ByteByByte},
                                           Delivery{"LineInRandomPieces", false, Cut::Random},
                                           Delivery{"UsbTimerInOnePiece", true, Cut::Whole},
                                           Delivery{"UsbTimerInRandomPieces", true, Cut::Random}),
                         [](const auto& info) { return std::string(info.param.name); });

// A bus flooded with noise at full rate: the splitter holds no more than a
// run's limit and a longest frame, and a run of noise is an entry, not a
// byte each.
TEST(RtuSplitterFlood, HoldsBoundedMemoryAndGivesNoiseAsFewLongEntries) {
    std::mt19937 random(11);
    Timeline line;
    LineTimes times(87us, 1750us); // 115200 baud
    Bytes noise(200000);
    for (std::uint8_t& byte : noise) {
        byte = static_cast<std::uint8_t>(random());
    }
    times.tail(noise, line);
    std::size_t mostHeld = 0;
    const auto found = split(line, Cut::Random, &mostHeld);
    EXPECT_LE(mostHeld, RtuSplitter::RunLimit + LongestRtuFrame + 70);
    std::size_t noiseEntries = 0;
    std::size_t soundFrames = 0;
    std::size_t bytesOut = 0;
    for (const BusFrame& frame : found) {
        bytesOut += frame.bytes.size();
        if (frame.kind == Kind::Unexpected) {
            ++noiseEntries;
            EXPECT_LE(frame.bytes.size(), RtuSplitter::RunLimit);
        } else if (frame.sound) {
            ++soundFrames;
            EXPECT_EQ(Crc16Of(frame.bytes.data(), frame.bytes.size()), 0);
        }
    }
    // Every byte comes out once, and the entries are few: a frame that holds
    // its CRC by chance parts two runs.
    EXPECT_EQ(bytesOut, noise.size());
    EXPECT_LE(noiseEntries,
              noise.size() / RtuSplitter::RunLimit + 2 * (found.size() - noiseEntries) + 1);
    EXPECT_LT(found.size(), noise.size() / 100);
}

} // namespace
