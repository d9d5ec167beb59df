#pragma once
// Parity of the line and what happens to bytes received with a parity error.

#include "serial/ComTypes.h"
#include "serial/Persistent.h"

#include <cstdint>

class TCustomComPort;

class TComParity : public TPersistent {
public:
    /// A free-standing instance, bound to no port.
    TComParity() = default;
    /// A free-standing copy of another object's fields.
    TComParity(const TComParity& Other);
    TComParity& operator=(const TComParity&) = delete;

    std::string ClassName() const override { return "TComParity"; }
    /// Copies the four fields without pushing anything to a device.
    void Assign(const TPersistent& Source) override;

    TCustomComPort* ComPort() const { return m_comPort; }
    void SetComPort(TCustomComPort* ComPort) { m_comPort = ComPort; }

    TParityBits Bits() const { return m_bits; }
    void SetBits(TParityBits Value);
    bool Check() const { return m_check; }
    void SetCheck(bool Value);
    bool Replace() const { return m_replace; }
    void SetReplace(bool Value);
    std::uint8_t ReplaceChar() const { return m_replaceChar; }
    void SetReplaceChar(std::uint8_t Value);

private:
    void changed();

    TCustomComPort* m_comPort = nullptr;
    TParityBits m_bits = prNone;
    bool m_check = false;
    bool m_replace = false;
    std::uint8_t m_replaceChar = 0;
};
