#pragma once
// Sizes of the driver's receive and transmit queues in bytes.

#include "serial/Persistent.h"

#include <cstdint>

class TCustomComPort;

class TComBuffer : public TPersistent {
public:
    TComBuffer() = default;
    TComBuffer(const TComBuffer& Other);
    TComBuffer& operator=(const TComBuffer&) = delete;

    std::string ClassName() const override { return "TComBuffer"; }
    void Assign(const TPersistent& Source) override;

    TCustomComPort* ComPort() const { return m_comPort; }
    void SetComPort(TCustomComPort* ComPort) { m_comPort = ComPort; }

    /// A positive odd size is lowered by one (1025 is kept as 1024).
    std::int32_t InputSize() const { return m_inputSize; }
    void SetInputSize(std::int32_t Value);
    std::int32_t OutputSize() const { return m_outputSize; }
    void SetOutputSize(std::int32_t Value);

private:
    void set(std::int32_t& field, std::int32_t value);

    TCustomComPort* m_comPort = nullptr;
    std::int32_t m_inputSize = 1024;
    std::int32_t m_outputSize = 1024;
};
