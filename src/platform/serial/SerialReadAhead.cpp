#include "platform/serial/SerialReadAhead.h"

#include <algorithm>

void SerialReadAhead::keep(const std::uint8_t* bytes, std::size_t count, bool byEventThread) {
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    if (count > 0 && m_waiting > 0) {
        m_kept.Signal();
    }
    if (std::find(bytes, bytes + count, m_eventChar.load()) == bytes + count) {
        return;
    }
    m_eventCharSeen = true;
    if (!byEventThread && m_observer) {
        m_observer();
    }
}

std::size_t SerialReadAhead::take(std::uint8_t* buffer, std::size_t count) {
    const std::size_t taken = std::min(count, m_bytes.size());
    std::copy_n(m_bytes.begin(), taken, buffer);
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
}

std::size_t SerialReadAhead::clear() {
    const std::size_t dropped = m_bytes.size();
    m_bytes.clear();
    return dropped;
}

int SerialReadAhead::beginWaiting() {
    if (!m_kept.IsOpen() && m_kept.Open() != 0) {
        return -1;
    }
    ++m_waiting;
    return m_kept.Fd();
}

void SerialReadAhead::endWaiting() {
    std::lock_guard guard(m_mutex);
    if (--m_waiting == 0) {
        m_kept.Clear();
    }
}
