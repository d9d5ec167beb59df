#include "serial/ComFlowControl.h"

#include "serial/ComPort.h"

TComFlowControl::TComFlowControl(const TComFlowControl& Other) : TPersistent() {
    Assign(Other);
}

void TComFlowControl::Assign(const TPersistent& Source) {
    const auto* other = dynamic_cast<const TComFlowControl*>(&Source);
    if (other == nullptr) {
        TPersistent::Assign(Source);
        return;
    }
    m_outCTSFlow = other->m_outCTSFlow;
    m_outDSRFlow = other->m_outDSRFlow;
    m_controlDTR = other->m_controlDTR;
    m_controlRTS = other->m_controlRTS;
    m_xonXoffOut = other->m_xonXoffOut;
    m_xonXoffIn = other->m_xonXoffIn;
    m_dsrSensitivity = other->m_dsrSensitivity;
    m_txContinueOnXoff = other->m_txContinueOnXoff;
    m_xonChar = other->m_xonChar;
    m_xoffChar = other->m_xoffChar;
}

void TComFlowControl::changed() {
    if (m_comPort != nullptr) {
        m_comPort->ApplyLineSettings();
    }
}

template <typename Field> void TComFlowControl::set(Field& field, Field value) {
    if (value != field) {
        field = value;
        changed();
    }
}

void TComFlowControl::SetOutCTSFlow(bool Value) {
    set(m_outCTSFlow, Value);
}
void TComFlowControl::SetOutDSRFlow(bool Value) {
    set(m_outDSRFlow, Value);
}
void TComFlowControl::SetControlDTR(TDTRFlowControl Value) {
    set(m_controlDTR, Value);
}
void TComFlowControl::SetControlRTS(TRTSFlowControl Value) {
    set(m_controlRTS, Value);
}
void TComFlowControl::SetXonXoffOut(bool Value) {
    set(m_xonXoffOut, Value);
}
void TComFlowControl::SetXonXoffIn(bool Value) {
    set(m_xonXoffIn, Value);
}
void TComFlowControl::SetDSRSensitivity(bool Value) {
    set(m_dsrSensitivity, Value);
}
void TComFlowControl::SetTxContinueOnXoff(bool Value) {
    set(m_txContinueOnXoff, Value);
}
void TComFlowControl::SetXonChar(std::uint8_t Value) {
    set(m_xonChar, Value);
}
void TComFlowControl::SetXoffChar(std::uint8_t Value) {
    set(m_xoffChar, Value);
}

TFlowControl TComFlowControl::FlowControl() const {
    const bool noXonXoff = !m_xonXoffIn && !m_xonXoffOut;
    if (m_controlRTS == rtsHandshake && m_outCTSFlow && noXonXoff) {
        return fcHardware;
    }
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && m_xonXoffIn && m_xonXoffOut) {
        return fcSoftware;
    }
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && noXonXoff) {
        return fcNone;
    }
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value) {
    if (Value != fcCustom) {
        m_controlRTS = rtsDisable;
        m_outCTSFlow = false;
        m_xonXoffIn = false;
        m_xonXoffOut = false;
        if (Value == fcHardware) {
            m_controlRTS = rtsHandshake;
            m_outCTSFlow = true;
        } else if (Value == fcSoftware) {
            m_xonXoffIn = true;
            m_xonXoffOut = true;
        }
    }
    changed();
}
