#pragma once
// Reply assembly under random input: the real poll engine polls through a
// fake port that delivers random bytes in random pieces, each piece as one
// received-characters event, between random ticks, stops, restarts and write
// requests. Sound and corrupted replies, exception replies, write echoes,
// floods larger than every buffer and plain garbage are mixed in.
//
// The rules checked at every step: the engine reads only what a delivery
// announced and never past its reply buffer, the port is drained, every
// request sent is a whole, correctly summed frame to a register that exists,
// and the registers shown are only ever the bytes of a sound reply from the
// polled slave.

#include "fuzz/support/FuzzReport.h"
#include "tests/poll/EngineFakes.h"

#include "poll/PollCycle.h"

#include <random>
#include <string>

namespace reply_assembly_fuzz {

class Engine;

// A port whose reads are checked against what was announced.
class FuzzPort : public FakePort {
public:
    PortRead Read(std::uint8_t* buffer, int count) override {
        if (buffer == nullptr || count <= 0 || count > announced) {
            report->fail("a read of " + std::to_string(count) + " bytes after " +
                         std::to_string(announced) + " were announced");
            return {};
        }
        const PortRead taken = FakePort::Read(buffer, count);
        announced -= taken.count;
        return taken;
    }

    // One received-characters event for everything now waiting.
    void deliverPiece(const Bytes& bytes) {
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
        announced = static_cast<int>(incoming.size());
        report->count("deliveries");
        ++report->inputs;
        if (onRxChar) {
            onRxChar(announced);
        }
        announced = 0;
    }

    FuzzReport* report = nullptr;
    int announced = 0;
};

// A window that checks every value it is given against the reply buffer.
class GuardedView : public FakeView {
public:
    void ShowRegisters(const RegisterValues& values) override {
        FakeView::ShowRegisters(values);
        if (cycle == nullptr || !showsSoundReply("the registers")) {
            return;
        }
        for (int i = 0; i < RegisterCount; ++i) {
            const std::uint16_t shown = values[static_cast<std::size_t>(i)];
            if (shown != RegisterValue(cycle->RxFrame(), i)) {
                report->fail("register " + std::to_string(i) + " shows " + std::to_string(shown) +
                             ", not the reply's value");
            }
        }
        report->count("values shown", RegisterCount);
    }

    const PollCycle* cycle = nullptr;
    FuzzReport* report = nullptr;

private:
    bool showsSoundReply(const std::string& what) {
        const auto count = static_cast<std::size_t>(cycle->RxCount());
        if (count > RxFrameSize ||
            !ReplyIsSound(cycle->RxFrame().data(), count, cycle->TxFrame()[0])) {
            report->fail(what + " changed without a sound reply in the buffer");
            return false;
        }
        return true;
    }
};

class Engine {
public:
    Engine(FuzzReport& report, std::uint32_t seed) : m_report(report), m_random(seed) {
        m_port.report = &report;
        m_view.report = &report;
        m_view.cycle = &m_cycle;
        if (!m_cycle.Start()) {
            report.fail("Start did not open the port");
        }
    }

    // One random action, then the rules.
    void step() {
        const int choice = below(100);
        if (choice < 15) {
            m_cycle.Tick();
        } else if (choice < 30) {
            const bool corrupt = choice < 22;
            m_report.count(corrupt ? "corrupt replies" : "sound replies");
            deliverInPieces(readReply(corrupt));
        } else if (choice < 34) {
            deliverInPieces(Bytes{address(), 0x83, 0x02, 0xC0, 0xF1});
        } else if (choice < 38) {
            deliverInPieces(writeEcho());
        } else if (choice < 40) {
            m_cycle.Stop();
            m_cycle.Tick();
            m_cycle.Start();
        } else if (choice < 43) {
            m_cycle.RequestWrite(below(RegisterCount + 4) - 2, below(256) * 300);
        } else if (choice < 45) {
            deliverInPieces(randomBytes(100 + below(5000)));
        } else {
            deliverInPieces(randomBytes(below(131)));
        }
        checkRules();
    }

private:
    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }
    std::uint8_t randomByte() { return static_cast<std::uint8_t>(below(256)); }
    std::uint8_t address() const { return m_cycle.TxFrame()[0]; }

    Bytes randomBytes(int size) {
        Bytes bytes(static_cast<std::size_t>(size));
        for (auto& value : bytes) {
            value = randomByte();
        }
        return bytes;
    }

    // A read reply with random registers; a corrupt one has one byte changed,
    // which must never reach the table.
    Bytes readReply(bool corrupt) {
        std::array<std::uint16_t, 20> registers{};
        for (auto& value : registers) {
            value = static_cast<std::uint16_t>(below(65536));
        }
        Bytes reply = makeReadReply(address(), registers);
        if (corrupt) {
            reply[static_cast<std::size_t>(below(static_cast<int>(reply.size())))] ^=
                static_cast<std::uint8_t>(1 + below(255));
        }
        return reply;
    }

    // The echo of the last request, as a slave answers a write.
    Bytes writeEcho() {
        const TTxFrame& request = m_cycle.TxFrame();
        return Bytes(request.begin(), request.end());
    }

    void deliverInPieces(const Bytes& bytes) {
        std::size_t position = 0;
        while (position < bytes.size()) {
            const auto left = static_cast<int>(bytes.size() - position);
            const auto size = static_cast<std::size_t>(1 + below(left));
            m_port.deliverPiece(
                Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                      bytes.begin() + static_cast<std::ptrdiff_t>(position + size)));
            position += size;
        }
    }

    void checkRules() {
        if (m_cycle.RxCount() < 0 || m_cycle.RxCount() > static_cast<int>(RxFrameSize)) {
            m_report.fail("the reply count " + std::to_string(m_cycle.RxCount()) +
                          " lies outside the buffer");
        }
        if (!m_port.incoming.empty()) {
            m_report.fail("bytes were left in the port");
        }
        for (const Bytes& frame : m_port.written) {
            if (frame.size() != 8 || Crc16Of(frame.data(), frame.size()) != 0) {
                m_report.fail("a request that is not a whole, correctly summed frame");
            } else if (frame[1] == FunctionWriteSingle && frame[3] >= RegisterCount) {
                m_report.fail("a write to register " + std::to_string(frame[3]));
            }
        }
        m_report.count("requests sent", m_port.written.size());
        m_port.written.clear();
        // The fake window keeps everything it is told; a long run must not.
        m_view.monitor.clear();
    }

    FuzzReport& m_report;
    std::mt19937 m_random;
    FuzzPort m_port;
    GuardedView m_view;
    PollCycle m_cycle{m_port, m_view};
};

// Feeds at least `deliveries` received-characters events.
inline FuzzReport Run(std::uint64_t deliveries, std::uint32_t seed) {
    FuzzReport report;
    Engine engine(report, seed);
    while (report.inputs < deliveries && !report.failed()) {
        engine.step();
    }
    return report;
}

} // namespace reply_assembly_fuzz
