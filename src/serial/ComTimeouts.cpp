#include "serial/ComTimeouts.h"

#include "serial/ComPort.h"

TComTimeouts::TComTimeouts(const TComTimeouts& Other)
    : TPersistent(), m_readInterval(Other.m_readInterval),
      m_readTotalMultiplier(Other.m_readTotalMultiplier),
      m_readTotalConstant(Other.m_readTotalConstant),
      m_writeTotalMultiplier(Other.m_writeTotalMultiplier),
      m_writeTotalConstant(Other.m_writeTotalConstant) {}

void TComTimeouts::Assign(const TPersistent& Source) {
    const auto* other = dynamic_cast<const TComTimeouts*>(&Source);
    if (other == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    m_readInterval = other->m_readInterval;
    m_readTotalMultiplier = other->m_readTotalMultiplier;
    m_readTotalConstant = other->m_readTotalConstant;
    m_writeTotalMultiplier = other->m_writeTotalMultiplier;
    m_writeTotalConstant = other->m_writeTotalConstant;
}

void TComTimeouts::set(std::int32_t& field, std::int32_t value) {
    if (value == field) {
        return;
    }
    field = value;
    if (m_comPort != nullptr) {
        m_comPort->ApplyTimeoutSettings();
    }
}

void TComTimeouts::SetReadInterval(std::int32_t Value) {
    set(m_readInterval, Value);
}
void TComTimeouts::SetReadTotalMultiplier(std::int32_t Value) {
    set(m_readTotalMultiplier, Value);
}
void TComTimeouts::SetReadTotalConstant(std::int32_t Value) {
    set(m_readTotalConstant, Value);
}
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t Value) {
    set(m_writeTotalMultiplier, Value);
}
void TComTimeouts::SetWriteTotalConstant(std::int32_t Value) {
    set(m_writeTotalConstant, Value);
}
