#pragma once
// Rework of received bytes for the two receive options that Linux drivers do
// not offer: replacing bytes that arrived with a parity error, and dropping
// received zero bytes. Parity errors reach the data as PARMRK marks
// (0xFF 0x00 c for a bad byte c, 0xFF 0xFF for a real 0xFF); a mark split
// across two reads is completed by the next one.

#include <cstddef>
#include <cstdint>

class SerialReceiveFilter {
public:
    struct Options {
        bool decodeParityMarks = false;
        std::uint8_t replaceChar = 0;
        bool discardNull = false;
    };

    void setOptions(const Options& options);
    bool active() const { return m_options.decodeParityMarks || m_options.discardNull; }
    /// Whether a mark has begun but its remaining bytes are still to come.
    bool pendingMark() const { return m_state != State::Plain; }

    /// Filters data in place and returns the number of bytes kept.
    std::size_t filter(std::uint8_t* data, std::size_t size);

private:
    enum class State { Plain, SawEscape, SawMark };
    void keep(std::uint8_t* data, std::size_t& kept, std::uint8_t byte, bool isData) const;

    Options m_options;
    State m_state = State::Plain;
};
