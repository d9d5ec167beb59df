#include "platform/serial/SerialReceiveFilter.h"

namespace {
constexpr std::uint8_t markEscape = 0xFF;
}

void SerialReceiveFilter::setOptions(const Options& options) {
    if (!options.decodeParityMarks) {
        m_state = State::Plain;
    }
    m_options = options;
}

void SerialReceiveFilter::keep(std::uint8_t* data, std::size_t& kept, std::uint8_t byte,
                               bool isData) const {
    // Only zero bytes that came down the line are dropped, never a zero that
    // stands in for a damaged byte.
    if (isData && byte == 0 && m_options.discardNull) {
        return;
    }
    data[kept++] = byte;
}

std::size_t SerialReceiveFilter::filter(std::uint8_t* data, std::size_t size) {
    std::size_t kept = 0;
    for (std::size_t index = 0; index < size; ++index) {
        const std::uint8_t byte = data[index];
        if (!m_options.decodeParityMarks) {
            keep(data, kept, byte, true);
            continue;
        }
        switch (m_state) {
        case State::Plain:
            if (byte == markEscape) {
                m_state = State::SawEscape;
            } else {
                keep(data, kept, byte, true);
            }
            break;
        case State::SawEscape:
            if (byte == 0) {
                m_state = State::SawMark;
            } else {
                // 0xFF 0xFF is a real 0xFF. Anything else cannot come from the
                // driver; the stray escape is dropped and the byte kept, which
                // also keeps the in-place output from overtaking the input.
                keep(data, kept, byte, true);
                m_state = State::Plain;
            }
            break;
        case State::SawMark:
            keep(data, kept, m_options.replaceChar, false);
            m_state = State::Plain;
            break;
        }
    }
    return kept;
}
