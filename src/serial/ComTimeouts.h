#pragma once
// The five driver timeouts in milliseconds. ReadInterval -1 stands for all
// bits set: together with zero read totals a read returns at once with what
// is waiting.

#include "serial/Persistent.h"

#include <cstdint>

class TCustomComPort;

class TComTimeouts : public TPersistent {
public:
    TComTimeouts() = default;
    TComTimeouts(const TComTimeouts& Other);
    TComTimeouts& operator=(const TComTimeouts&) = delete;

    std::string ClassName() const override { return "TComTimeouts"; }
    void Assign(const TPersistent& Source) override;

    TCustomComPort* ComPort() const { return m_comPort; }
    void SetComPort(TCustomComPort* ComPort) { m_comPort = ComPort; }

    std::int32_t ReadInterval() const { return m_readInterval; }
    void SetReadInterval(std::int32_t Value);
    std::int32_t ReadTotalMultiplier() const { return m_readTotalMultiplier; }
    void SetReadTotalMultiplier(std::int32_t Value);
    std::int32_t ReadTotalConstant() const { return m_readTotalConstant; }
    void SetReadTotalConstant(std::int32_t Value);
    std::int32_t WriteTotalMultiplier() const { return m_writeTotalMultiplier; }
    void SetWriteTotalMultiplier(std::int32_t Value);
    std::int32_t WriteTotalConstant() const { return m_writeTotalConstant; }
    void SetWriteTotalConstant(std::int32_t Value);

private:
    void set(std::int32_t& field, std::int32_t value);

    TCustomComPort* m_comPort = nullptr;
    std::int32_t m_readInterval = -1;
    std::int32_t m_readTotalMultiplier = 0;
    std::int32_t m_readTotalConstant = 0;
    std::int32_t m_writeTotalMultiplier = 100;
    std::int32_t m_writeTotalConstant = 1000;
};
