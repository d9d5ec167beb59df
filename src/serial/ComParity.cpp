#include "serial/ComParity.h"

#include "serial/ComPort.h"

TComParity::TComParity(const TComParity& Other)
    : TPersistent(), m_bits(Other.m_bits), m_check(Other.m_check), m_replace(Other.m_replace),
      m_replaceChar(Other.m_replaceChar) {}

void TComParity::Assign(const TPersistent& Source) {
    const auto* other = dynamic_cast<const TComParity*>(&Source);
    if (other == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    m_bits = other->m_bits;
    m_check = other->m_check;
    m_replace = other->m_replace;
    m_replaceChar = other->m_replaceChar;
}

void TComParity::changed() {
    if (m_comPort != nullptr) {
        m_comPort->ApplyLineSettings();
    }
}

void TComParity::SetBits(TParityBits Value) {
    if (Value != m_bits) {
        m_bits = Value;
        changed();
    }
}

void TComParity::SetCheck(bool Value) {
    if (Value != m_check) {
        m_check = Value;
        changed();
    }
}

void TComParity::SetReplace(bool Value) {
    if (Value != m_replace) {
        m_replace = Value;
        changed();
    }
}

void TComParity::SetReplaceChar(std::uint8_t Value) {
    if (Value != m_replaceChar) {
        m_replaceChar = Value;
        changed();
    }
}
