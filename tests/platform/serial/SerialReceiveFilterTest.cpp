// Rework of received bytes: parity marks and dropped zero bytes.

#include "platform/serial/SerialReceiveFilter.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<std::uint8_t> run(SerialReceiveFilter& filter, std::vector<std::uint8_t> bytes) {
    bytes.resize(filter.filter(bytes.data(), bytes.size()));
    return bytes;
}

} // namespace

TEST(SerialReceiveFilter, PassesEverythingWhenIdle) {
    SerialReceiveFilter filter;
    EXPECT_FALSE(filter.active());
    EXPECT_EQ(run(filter, {0, 0xFF, 0, 7}), (std::vector<std::uint8_t>{0, 0xFF, 0, 7}));
}

TEST(SerialReceiveFilter, ReplacesMarkedBytesAndUndoublesRealFFs) {
    SerialReceiveFilter filter;
    filter.setOptions({true, '?', false});
    EXPECT_EQ(run(filter, {'A', 0xFF, 0x00, 'x', 'B', 0xFF, 0xFF, 'C'}),
              (std::vector<std::uint8_t>{'A', '?', 'B', 0xFF, 'C'}));
    // A mark split over three reads is completed by the later ones.
    EXPECT_EQ(run(filter, {'D', 0xFF}), (std::vector<std::uint8_t>{'D'}));
    EXPECT_TRUE(filter.pendingMark());
    EXPECT_EQ(run(filter, {0x00}), std::vector<std::uint8_t>{});
    EXPECT_EQ(run(filter, {'z', 'E'}), (std::vector<std::uint8_t>{'?', 'E'}));
    EXPECT_FALSE(filter.pendingMark());
    // A stray escape that no driver sends never grows the output.
    EXPECT_EQ(run(filter, {0xFF, 'q', 0xFF}), (std::vector<std::uint8_t>{'q'}));
    EXPECT_EQ(run(filter, {'r'}), (std::vector<std::uint8_t>{'r'}));
}

TEST(SerialReceiveFilter, DropsReceivedZerosButNotAZeroReplacement) {
    SerialReceiveFilter filter;
    filter.setOptions({false, 0, true});
    EXPECT_EQ(run(filter, {0, 1, 0, 0, 2, 0}), (std::vector<std::uint8_t>{1, 2}));
    filter.setOptions({true, 0, true});
    EXPECT_EQ(run(filter, {0, 0xFF, 0, 9, 3}), (std::vector<std::uint8_t>{0, 3}));
}

TEST(SerialReceiveFilter, NeverWritesPastTheInputOnAnyBytes) {
    SerialReceiveFilter filter;
    filter.setOptions({true, 0x55, true});
    std::uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(std::size_t(seed % 17));
        for (auto& byte : bytes) {
            seed = seed * 1103515245U + 12345U;
            const std::uint8_t pick = std::uint8_t(seed >> 16);
            byte = pick < 80 ? 0xFF : (pick < 160 ? 0 : pick);
        }
        const std::size_t kept = filter.filter(bytes.data(), bytes.size());
        ASSERT_LE(kept, bytes.size());
    }
}
