#pragma once
// When the event thread hands received bytes over. Waking the owner thread
// for every byte of a reply costs far more than the byte, so once bytes come
// in the thread waits for the rest: it hands them over as soon as the count
// the owner expects is in, when the line has been quiet for a few character
// times (the end of a frame), or at the latest a fixed while after the first
// of them came, so that nothing is held up long on a line that never pauses.
// Between its looks the thread sleeps for the time the missing bytes take on
// the line, instead of waking for each of them; only for the last byte of
// an expected reply on a fast line, and while it waits out a pause, does it
// wake as soon as a byte comes. On a slow line it sleeps a little past the
// reply's last byte and usually finds the reply whole.
//
// Byte counts are running totals since the port opened (read plus waiting),
// as the event thread counts them.

#include <chrono>
#include <cstdint>
#include <optional>

class TComRxGathering {
public:
    using Clock = std::chrono::steady_clock;

    /// The time one character takes on the line (start, data, parity and
    /// stop bits); zero hands every look's bytes over at once.
    void SetCharacterTime(std::chrono::nanoseconds characterTime);
    std::chrono::nanoseconds CharacterTime() const { return m_characterTime; }
    /// Silence after which the bytes so far are handed over: three characters,
    /// less than the three and a half that part two frames.
    std::chrono::nanoseconds Silence() const { return m_characterTime * 3; }
    /// From this character time on (9600 baud and slower) the thread sleeps
    /// through to the end of an expected reply instead of waking once more
    /// for its last byte.
    static constexpr std::chrono::microseconds SleepThroughCharacter{1000};
    /// The longest bytes are held: 64 characters, but never above 100 ms.
    std::chrono::nanoseconds LongestHold() const;

    /// After a look at the input that found `received` bytes in all, of
    /// which some were new when `newBytes` is set; `expected` is the total at
    /// which the owner's reply is complete (0 when it expects nothing).
    /// Returns when to look again while holding the bytes, and whether to
    /// look as soon as a byte comes before that; nothing when they are to be
    /// handed over now.
    struct NextLook {
        Clock::time_point at;
        bool onInput = false;
    };
    std::optional<NextLook> Look(bool newBytes, std::uint64_t received, std::uint64_t expected,
                                 Clock::time_point now);
    /// Whether bytes are being held.
    bool Holding() const { return m_holding; }
    /// The bytes up to `received` were handed over.
    void HandedOver(std::uint64_t received);

private:
    std::chrono::nanoseconds m_characterTime{0};
    bool m_holding = false;
    Clock::time_point m_firstSeen;
    Clock::time_point m_lastSeen;
    std::uint64_t m_handedOver = 0;
};
