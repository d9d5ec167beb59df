#include "serial/ComRxGathering.h"

#include <algorithm>

using namespace std::chrono_literals;

void TComRxGathering::SetCharacterTime(std::chrono::nanoseconds characterTime) {
    m_characterTime = std::max(characterTime, 0ns);
}

std::chrono::nanoseconds TComRxGathering::LongestHold() const {
    return std::min<std::chrono::nanoseconds>(m_characterTime * 64, 100ms);
}

std::optional<TComRxGathering::NextLook> TComRxGathering::Look(bool newBytes,
                                                               std::uint64_t received,
                                                               std::uint64_t expected,
                                                               Clock::time_point now) {
    if (m_characterTime <= 0ns) {
        return std::nullopt;
    }
    if (newBytes) {
        if (!m_holding) {
            m_holding = true;
            m_firstSeen = now;
        }
        m_lastSeen = now;
    }
    if (!m_holding) {
        return std::nullopt;
    }
    // An expected total not reached by the last hand-over belongs to the
    // bytes held now.
    const bool expecting = expected > m_handedOver;
    const auto holdEnd = m_firstSeen + LongestHold();
    if ((expecting && received >= expected) || now >= holdEnd ||
        (!newBytes && now - m_lastSeen >= Silence())) {
        return std::nullopt;
    }
    NextLook next{now + Silence(), false};
    if (!newBytes) {
        next = {m_lastSeen + Silence(), true};
    } else if (expecting && expected - received > 1) {
        const auto missing = std::int64_t(expected - received);
        if (m_characterTime >= SleepThroughCharacter) {
            // A character takes a millisecond or more: asleep until a quarter
            // of one after the last byte should be in, so that the reply
            // usually needs no second wake. The thread's own lateness is
            // small beside such a character.
            next.at = now + m_characterTime * missing + m_characterTime / 4;
        } else {
            // Asleep until all but the last of the missing bytes should be
            // in: a timed wake comes later after its time than a wake for
            // input after the byte, and the last byte ends the reply.
            next.at = now + m_characterTime * (missing - 1);
        }
    } else if (expecting) {
        // The reply's last byte is handed over the moment it comes.
        next.onInput = true;
    }
    next.at = std::min(next.at, holdEnd);
    return next;
}

void TComRxGathering::HandedOver(std::uint64_t received) {
    m_holding = false;
    m_handedOver = std::max(m_handedOver, received);
}
