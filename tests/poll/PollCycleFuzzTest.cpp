#include "tests/poll/EngineFakes.h"

#include "poll/PollCycle.h"
#include "poll/RegisterMap.h"

#include <QCoreApplication>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <random>

namespace {

// Checks at every cell update that the engine only ever shows a sound reply.
class GuardedView : public FakeView {
public:
    void SetCellText(int column, int row, const QString& text) override {
        FakeView::SetCellText(column, row, text);
        if (cycle == nullptr || !IsValueCell(column, row)) {
            return;
        }
        const TRxFrame& frame = cycle->RxFrame();
        const auto count = static_cast<std::size_t>(cycle->RxCount());
        ASSERT_TRUE(ReplyIsSound(frame.data(), count, cycle->TxFrame()[0]));
        const int registerIndex = RegisterOfCell(column, row);
        ASSERT_EQ(text, QString::number(RegisterValue(frame, registerIndex)));
        ++decodedCells;
    }
    const PollCycle* cycle = nullptr;
    int decodedCells = 0;
};

// Delivers bytes in random pieces, each as one received-characters event.
void deliverInPieces(FakePort& port, const Bytes& bytes, std::mt19937& random) {
    std::size_t position = 0;
    while (position < bytes.size()) {
        std::uniform_int_distribution<std::size_t> pieceSize(1, bytes.size() - position);
        const std::size_t size = pieceSize(random);
        port.deliver(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                           bytes.begin() + static_cast<std::ptrdiff_t>(position + size)));
        position += size;
    }
}

// A read reply with random registers; a corrupt one has one byte changed,
// which must never reach the table.
Bytes randomReadReply(std::uint8_t address, bool corrupt, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::array<std::uint16_t, 20> registers{};
    for (auto& value : registers) {
        value = static_cast<std::uint16_t>(byte(random) * 256 + byte(random));
    }
    Bytes reply = makeReadReply(address, registers);
    if (corrupt) {
        reply[static_cast<std::size_t>(byte(random)) % reply.size()] ^=
            static_cast<std::uint8_t>(1 + byte(random) % 255);
    }
    return reply;
}

// What must hold after every step: the reply buffer within bounds, the port
// drained, a known outcome, and only whole, correctly summed requests sent to
// registers that exist.
void checkInvariants(const PollCycle& cycle, FakePort& port) {
    ASSERT_GE(cycle.RxCount(), 0);
    ASSERT_LE(cycle.RxCount(), 100);
    ASSERT_TRUE(port.incoming.empty());
    const int code = cycle.ReplyCode();
    ASSERT_TRUE(code == ReplyNone || code == ReplyRead || code == ReplyWrite ||
                code == ReplyOverflow || code == ReplyStarted);
    for (const Bytes& frame : port.written) {
        ASSERT_EQ(frame.size(), 8U);
        ASSERT_EQ(Crc16Of(frame.data(), frame.size()), 0);
        if (frame[1] == FunctionWriteSingle) {
            ASSERT_LT(frame[3], RegisterCount);
        }
    }
    port.written.clear();
}

TEST(PollCycleFuzz, RandomBytesInRandomPiecesNeverShowUnsentData) {
    FakePort port;
    GuardedView view;
    PollCycle cycle(port, view);
    view.cycle = &cycle;
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> action(0, 99);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 130);
    int soundReplies = 0;

    ASSERT_TRUE(cycle.skButton2Click());
    for (int step = 0; step < 20000; ++step) {
        const int choice = action(random);
        if (choice < 15) {
            cycle.tmr1Timer();
        } else if (choice < 30) {
            const bool corrupt = choice < 22;
            soundReplies += corrupt ? 0 : 1;
            deliverInPieces(port, randomReadReply(cycle.TxFrame()[0], corrupt, random), random);
        } else if (choice < 35) {
            deliverInPieces(port, Bytes{cycle.TxFrame()[0], 0x83, 0x02, 0xC0, 0xF1}, random);
        } else if (choice < 37) {
            cycle.skButton3Click();
            cycle.tmr1Timer();
            cycle.skButton2Click();
        } else if (choice < 40) {
            view.column = action(random) % 6;
            view.row = action(random) % 12;
            cycle.RequestWrite(byte(random) * 300);
        } else {
            Bytes garbage(static_cast<std::size_t>(length(random)));
            for (auto& value : garbage) {
                value = static_cast<std::uint8_t>(byte(random));
            }
            deliverInPieces(port, garbage, random);
        }
        ASSERT_NO_FATAL_FAILURE(checkInvariants(cycle, port));
    }
    // The run must have exercised the decoder, or it proves nothing.
    EXPECT_GT(soundReplies, 100);
    EXPECT_GT(view.decodedCells, 100 * RegisterCount);
}

TEST(PollCycleTimer, TheTimerDrivesTheLoopUntilStopped) {
    EchoingPort port;
    port.baudRate = br115200;
    FakeView view;
    PollCycle cycle(port, view);
    ASSERT_TRUE(cycle.skButton2Click());
    view.column = 2;
    view.row = 4;
    ASSERT_TRUE(cycle.RequestWrite(1000));
    QTRY_VERIFY_WITH_TIMEOUT(view.txCount() >= 20, 20000);
    EXPECT_EQ(view.erCount(), 0);
    EXPECT_EQ(cycle.PollTimer().Interval(), 2);
    EXPECT_EQ(port.written[0], (Bytes{0x01, 0x06, 0x00, 0x03, 0x03, 0xE8, 0x79, 0x74}));
    EXPECT_NE(view.cell(2, 1), QString());

    cycle.skButton3Click();
    QTRY_VERIFY_WITH_TIMEOUT(!port.connected, 20000);
    EXPECT_FALSE(cycle.PollTimer().Enabled());
    const std::size_t sent = port.written.size();
    QTest::qWait(50);
    EXPECT_EQ(port.written.size(), sent);
}

} // namespace
