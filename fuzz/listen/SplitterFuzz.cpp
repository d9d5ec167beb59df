// rtu_splitter_fuzz [INPUTS] [SEED]: the listener's frame splitter on random
// bus traffic. Each input is a stream of sound frames, broken and cut-off
// frames and random bytes, with silences or none between them, fed in random
// pieces. The rules:
//   - the splitter never reads past what it was given (the input ends at a
//     page that cannot be read, and the driver is built with bounds checks
//     and, where the compiler has it, AddressSanitizer);
//   - every frame it calls sound holds its CRC and the length rules' bounds;
//   - every byte comes out once, in order, as part of one entry;
//   - a run of noise is never longer than its limit, and what is held stays
//     within that limit and one longest frame;
//   - all but a few in a thousand sound frames put in are found whole
//     (the rest lie under frames that hold their CRC by chance).

#include "fuzz/support/FuzzMain.h"
#include "listen/RtuSplitter.h"
#include "modbus/CRC16.h"

#include <random>
#include <set>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr auto Character = std::chrono::microseconds{87}; // 115200 baud
constexpr auto Silence = std::chrono::microseconds{1750};
constexpr std::size_t LongestPiece = 80;
constexpr int SegmentsPerInput = 24;

// Input bytes placed so that the first byte after them is on a page that
// cannot be read: a read past the end stops the driver at once.
class GuardedInput {
public:
    GuardedInput() {
        m_page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        m_size = 4 * m_page;
        void* memory = ::mmap(nullptr, m_size + m_page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_base = static_cast<std::uint8_t*>(memory);
        ::mprotect(m_base + m_size, m_page, PROT_NONE);
    }
    ~GuardedInput() { ::munmap(m_base, m_size + m_page); }
    GuardedInput(const GuardedInput&) = delete;
    GuardedInput& operator=(const GuardedInput&) = delete;

    std::size_t capacity() const { return m_size; }
    /// The bytes copied to end right at the guard page.
    const std::uint8_t* place(const std::uint8_t* bytes, std::size_t count) {
        std::uint8_t* at = m_base + m_size - count;
        std::copy_n(bytes, count, at);
        return at;
    }

private:
    std::uint8_t* m_base = nullptr;
    std::size_t m_size = 0;
    std::size_t m_page = 0;
};

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = Crc16Of(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// A sound frame of one of the shapes a bus carries.
Bytes soundFrame(std::mt19937& random) {
    const auto byte = [&random] { return static_cast<std::uint8_t>(random()); };
    const std::uint8_t address = static_cast<std::uint8_t>(1 + random() % 247);
    switch (random() % 6) {
    case 0: // a read request
        return withCrc({address, 3, 0, byte(), 0, static_cast<std::uint8_t>(1 + random() % 60)});
    case 1: { // a read reply
        Bytes frame{address, 3, static_cast<std::uint8_t>(2 * (1 + random() % 60))};
        for (int i = 0; i < frame[2]; ++i) {
            frame.push_back(byte());
        }
        return withCrc(frame);
    }
    case 2: // a write or its echo
        return withCrc({address, 6, 0, byte(), byte(), byte()});
    case 3: { // a write of several registers
        const std::uint8_t count = static_cast<std::uint8_t>(1 + random() % 20);
        Bytes frame{address, 0x10, 0, byte(), 0, count, static_cast<std::uint8_t>(2 * count)};
        for (int i = 0; i < 2 * count; ++i) {
            frame.push_back(byte());
        }
        return withCrc(frame);
    }
    case 4: // an exception
        return withCrc({address, static_cast<std::uint8_t>(0x80 | (1 + random() % 6)),
                        static_cast<std::uint8_t>(1 + random() % 4)});
    default: // its write-of-several reply
        return withCrc({address, 0x10, 0, byte(), 0, byte()});
    }
}

struct Segment {
    Bytes bytes;
    bool sound = false;
};

std::vector<Segment> makeInput(std::mt19937& random) {
    std::vector<Segment> segments;
    for (int i = 0; i < SegmentsPerInput; ++i) {
        Segment segment;
        switch (random() % 5) {
        case 0: // noise
            segment.bytes.resize(random() % 40);
            for (std::uint8_t& byte : segment.bytes) {
                byte = static_cast<std::uint8_t>(random());
            }
            break;
        case 1: { // a frame broken on the way
            segment.bytes = soundFrame(random);
            segment.bytes[random() % segment.bytes.size()] ^=
                static_cast<std::uint8_t>(1u << (random() % 8));
            break;
        }
        case 2: // a frame cut off
            segment.bytes = soundFrame(random);
            segment.bytes.resize(random() % segment.bytes.size());
            break;
        default:
            segment.bytes = soundFrame(random);
            segment.sound = true;
            break;
        }
        segments.push_back(std::move(segment));
    }
    return segments;
}

FuzzReport run(std::uint64_t count, std::uint32_t seed) {
    FuzzReport report;
    std::mt19937 random(seed);
    GuardedInput guarded;
    for (; report.inputs < count && !report.failed(); ++report.inputs) {
        const std::vector<Segment> segments = makeInput(random);
        Bytes stream;
        std::vector<Clock::time_point> times;
        // Where each sound frame put in lies in the stream: offset, length.
        std::set<std::pair<std::size_t, std::size_t>> soundIn;
        Clock::time_point now = Clock::now();
        for (const Segment& segment : segments) {
            if (random() % 2 == 0) {
                now += Silence * 2;
            }
            if (segment.sound) {
                soundIn.insert({stream.size(), segment.bytes.size()});
            }
            for (const std::uint8_t byte : segment.bytes) {
                now += Character;
                stream.push_back(byte);
                times.push_back(now);
            }
        }
        RtuSplitter splitter;
        splitter.SetSilence(Silence);
        std::vector<BusFrame> frames;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t piece =
                std::min<std::size_t>(stream.size() - at, 1 + random() % LongestPiece);
            if (piece > guarded.capacity()) {
                report.fail("a piece larger than the guarded input");
                break;
            }
            splitter.Feed(guarded.place(stream.data() + at, piece), times.data() + at, piece,
                          frames);
            at += piece;
            if (splitter.Held() > RtuSplitter::RunLimit + LongestRtuFrame + LongestPiece) {
                report.fail("holds " + std::to_string(splitter.Held()) + " bytes");
            }
        }
        splitter.Flush(frames);
        Bytes out;
        std::size_t soundFound = 0;
        for (const BusFrame& frame : frames) {
            const std::size_t offset = out.size();
            out.insert(out.end(), frame.bytes.begin(), frame.bytes.end());
            if (frame.kind == BusFrame::Kind::Unexpected) {
                report.count("noise entries");
                if (frame.bytes.empty() || frame.bytes.size() > RtuSplitter::RunLimit) {
                    report.fail("a noise entry of " + std::to_string(frame.bytes.size()) +
                                " bytes");
                }
                continue;
            }
            if (!frame.sound) {
                report.count("broken frames named");
                continue;
            }
            report.count("sound frames");
            if (frame.bytes.size() < ShortestRtuFrame || frame.bytes.size() > LongestRtuFrame ||
                Crc16Of(frame.bytes.data(), frame.bytes.size()) != 0) {
                report.fail("a frame called sound whose CRC does not hold");
            }
            soundFound += soundIn.count({offset, frame.bytes.size()});
        }
        if (out != stream) {
            report.fail("the bytes that came out are not those put in");
        }
        report.count("sound frames put in", soundIn.size());
        report.count("sound frames found whole", soundFound);
        report.count("bytes", stream.size());
    }
    // Frames put in are lost only to frames found by chance around them.
    const std::uint64_t put = report.times("sound frames put in");
    if (!report.failed() && put > 0 && report.times("sound frames found whole") * 100 < put * 99) {
        report.fail("fewer than 99 % of the sound frames were found whole");
    }
    return report;
}

} // namespace

int main(int argc, char** argv) {
    return RunFuzzDriver(argc, argv, "inputs", 20000, &run);
}
