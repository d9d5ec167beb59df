#pragma once
// Assembles Modbus RTU requests from the bytes a slave receives, however the
// line splits them, and finds its way back into step after garbage.
//
// Framing works by CRC search rather than by timing: a pseudo-terminal (or a
// busy USB adapter) does not keep the gaps of a real line, so a silent
// interval inside a request says little. For every function whose request
// length follows from its first bytes, a request is taken as soon as a run of
// bytes of that length has a valid CRC, wherever it starts; the bytes before it
// are dropped as garbage. A request of an unknown function has no length
// rule, so it ends when the line falls silent (LineIdle()); at that point the
// bytes that cannot become a request any more are dropped too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class RequestAssembler {
public:
    /// The longest RTU frame; more pending bytes than this are garbage.
    static constexpr std::size_t MaxFrameSize = 256;

    void Append(std::span<const std::uint8_t> bytes);

    /// The next whole request with a valid CRC (CRC included), if there is one.
    std::optional<std::vector<std::uint8_t>> TakeRequest();

    /// The line has been silent for 3.5 character times: a request of unknown
    /// length may end here, and garbage is dropped. Returns such a request.
    std::optional<std::vector<std::uint8_t>> LineIdle();

    std::size_t PendingBytes() const { return m_buffer.size(); }
    /// Bytes dropped as garbage so far.
    std::size_t DiscardedBytes() const { return m_discarded; }
    void Clear();

private:
    std::optional<std::vector<std::uint8_t>> takeAt(std::size_t start, std::size_t length);
    void discardFront(std::size_t count);
    void dropHopelessPrefix();

    std::vector<std::uint8_t> m_buffer;
    std::size_t m_discarded = 0;
};
