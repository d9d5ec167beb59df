#pragma once
// Flow control of the line: hardware handshakes, XON/XOFF and the DTR/RTS
// lines. The FlowControl preset is derived from the detailed switches and
// has no storage of its own.

#include "serial/ComTypes.h"
#include "serial/Persistent.h"

#include <cstdint>

class TCustomComPort;

class TComFlowControl : public TPersistent {
public:
    TComFlowControl() = default;
    TComFlowControl(const TComFlowControl& Other);
    TComFlowControl& operator=(const TComFlowControl&) = delete;

    std::string ClassName() const override { return "TComFlowControl"; }
    /// Copies all ten stored fields without pushing anything to a device.
    void Assign(const TPersistent& Source) override;

    TCustomComPort* ComPort() const { return m_comPort; }
    void SetComPort(TCustomComPort* ComPort) { m_comPort = ComPort; }

    bool OutCTSFlow() const { return m_outCTSFlow; }
    void SetOutCTSFlow(bool Value);
    bool OutDSRFlow() const { return m_outDSRFlow; }
    void SetOutDSRFlow(bool Value);
    TDTRFlowControl ControlDTR() const { return m_controlDTR; }
    void SetControlDTR(TDTRFlowControl Value);
    TRTSFlowControl ControlRTS() const { return m_controlRTS; }
    void SetControlRTS(TRTSFlowControl Value);
    bool XonXoffOut() const { return m_xonXoffOut; }
    void SetXonXoffOut(bool Value);
    bool XonXoffIn() const { return m_xonXoffIn; }
    void SetXonXoffIn(bool Value);
    bool DSRSensitivity() const { return m_dsrSensitivity; }
    void SetDSRSensitivity(bool Value);
    bool TxContinueOnXoff() const { return m_txContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
    std::uint8_t XonChar() const { return m_xonChar; }
    void SetXonChar(std::uint8_t Value);
    std::uint8_t XoffChar() const { return m_xoffChar; }
    void SetXoffChar(std::uint8_t Value);

    /// The preset the switches amount to; fcCustom when they match none.
    TFlowControl FlowControl() const;
    /// Sets the switches of a preset (fcCustom changes none), then always
    /// pushes the line settings of the bound port.
    void SetFlowControl(TFlowControl Value);

private:
    template <typename Field> void set(Field& field, Field value);
    void changed();

    TCustomComPort* m_comPort = nullptr;
    bool m_outCTSFlow = false;
    bool m_outDSRFlow = false;
    TDTRFlowControl m_controlDTR = dtrDisable;
    TRTSFlowControl m_controlRTS = rtsDisable;
    bool m_xonXoffOut = false;
    bool m_xonXoffIn = false;
    bool m_dsrSensitivity = false;
    bool m_txContinueOnXoff = false;
    std::uint8_t m_xonChar = 17;
    std::uint8_t m_xoffChar = 19;
};
