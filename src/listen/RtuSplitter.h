#pragma once
// Frames from the bytes a listener hears on a Modbus RTU bus. The bytes come
// with the moment each arrived and in pieces of any size: a USB adapter may
// hand over a request and its reply in one piece, or cut a frame in two. A
// frame is found by the length rules of its function code and counts only
// when its CRC holds; the silence of 3.5 characters between frames is used as
// a hint where the rules cannot tell (an unknown function, a broken frame),
// never as the only rule. After noise or a broken frame the splitter finds
// its way back at the next byte where a frame with a sound CRC begins, and
// the bytes it passed over go out as one entry.
//
//     RtuSplitter splitter;
//     splitter.SetSilence(RtuSilence(9600, 11));
//     std::vector<BusFrame> frames;
//     splitter.Feed(bytes, times, count, frames);  // whatever the bytes complete
//     splitter.Flush(frames);                      // the line went quiet
//
// Memory stays bounded however long a run of noise lasts: what it has held
// for longer than RunLimit bytes goes out as an entry of its own.

#include "listen/RtuLengthRules.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct BusFrame {
    using Clock = std::chrono::steady_clock;
    enum class Kind {
        Request,    ///< the master's
        Reply,      ///< a slave's
        Unexpected, ///< bytes that make no frame
    };
    Kind kind = Kind::Unexpected;
    /// The CRC holds; a request or reply that does not hold it has the shape
    /// (length, address, function) of one and nothing else. Never for Unexpected.
    bool sound = false;
    std::vector<std::uint8_t> bytes;
    /// When its first and its last byte arrived.
    Clock::time_point start;
    Clock::time_point end;
};

/// The silence that parts two frames at a rate and character size: 3.5
/// characters, but 1.75 ms above 19200 baud.
std::chrono::nanoseconds RtuSilence(int baudRate, int bitsPerCharacter);

class RtuSplitter {
public:
    using Clock = BusFrame::Clock;

    /// The most bytes of noise held for one entry; a longer run is cut.
    static constexpr std::size_t RunLimit = 1024;

    /// The silence taken as a hint that a frame has ended.
    void SetSilence(std::chrono::nanoseconds silence) { m_silence = silence; }
    std::chrono::nanoseconds Silence() const { return m_silence; }

    /// Takes count bytes, byte i having arrived at times[i] (in order), and
    /// appends every frame and run of noise they complete to frames.
    void Feed(const std::uint8_t* bytes, const Clock::time_point* times, std::size_t count,
              std::vector<BusFrame>& frames);
    /// The line has been quiet for longer than the rest of any frame could
    /// take to come: everything held goes out, as frames where the rules or a
    /// sound CRC say so, otherwise as noise.
    void Flush(std::vector<BusFrame>& frames);
    /// Forgets what is held and the request that waits for its reply.
    void Reset();

    /// Bytes held, waiting for the rest of their frame.
    std::size_t Held() const { return m_bytes.size(); }
    /// When the last byte arrived (the epoch before the first).
    Clock::time_point LastByteTime() const { return m_lastTime; }

private:
    enum class Status { Sound, Pending, Failed };
    struct Candidate {
        Status status = Status::Failed;
        FrameRole role = FrameRole::Request;
        std::size_t length = 0;
    };
    struct Awaited {
        std::uint8_t address = 0;
        std::uint8_t function = 0;
    };
    // Why a run of noise is scanned no further.
    struct RunEnd {
        enum class Kind { None, Silence, Frame };
        Kind kind = Kind::None;
        std::size_t at = 0;
        Candidate frame;
        std::size_t pendingFrom = 0; // the first position that may still begin a frame
    };

    void process(bool final, std::vector<BusFrame>& frames);
    Candidate evaluate(std::size_t at, bool final);
    Status roleStatus(FrameRole role, std::size_t at, bool final, std::size_t& length);
    bool soundAfterSilence(bool final);
    RunEnd scanRun(bool final);
    bool matchesAwaited(std::size_t at) const;
    void takeFrame(const Candidate& frame, std::vector<BusFrame>& frames);
    void closeRun(std::size_t length, std::vector<BusFrame>& frames);
    void giveOut(BusFrame::Kind kind, bool sound, std::size_t from, std::size_t length,
                 std::vector<BusFrame>& frames);
    void consume(std::size_t count);

    std::chrono::nanoseconds m_silence{std::chrono::microseconds{1750}};
    std::vector<std::uint8_t> m_bytes;
    std::vector<Clock::time_point> m_times;
    // Per byte held: it came after a silence; it begins no frame in either role.
    std::vector<std::uint8_t> m_afterSilence;
    std::vector<std::uint8_t> m_failed;
    // The first byte held follows a frame or a silence, so a frame most
    // likely begins there: its rules are waited for before anything later
    // counts. Otherwise the bytes are a run of noise, and the first sound
    // frame found in it ends the run.
    bool m_aligned = false;
    // Positions of the run before this are known to begin no frame.
    std::size_t m_scanFrom = 0;
    std::optional<Awaited> m_awaited;
    Clock::time_point m_lastTime{};
    bool m_heardAny = false;
};
