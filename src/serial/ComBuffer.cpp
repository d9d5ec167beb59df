#include "serial/ComBuffer.h"

#include "serial/ComPort.h"

TComBuffer::TComBuffer(const TComBuffer& Other)
    : TPersistent(), m_inputSize(Other.m_inputSize), m_outputSize(Other.m_outputSize) {}

void TComBuffer::Assign(const TPersistent& Source) {
    const auto* other = dynamic_cast<const TComBuffer*>(&Source);
    if (other == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    m_inputSize = other->m_inputSize;
    m_outputSize = other->m_outputSize;
}

void TComBuffer::set(std::int32_t& field, std::int32_t value) {
    if (value == field) {
        return;
    }
    field = value;
    // Driver queues come in even sizes.
    if (field > 0 && field % 2 == 1) {
        --field;
    }
    if (m_comPort != nullptr) {
        m_comPort->ApplyBufferSizes();
    }
}

void TComBuffer::SetInputSize(std::int32_t Value) {
    set(m_inputSize, Value);
}
void TComBuffer::SetOutputSize(std::int32_t Value) {
    set(m_outputSize, Value);
}
