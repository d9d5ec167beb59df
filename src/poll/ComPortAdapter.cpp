#include "poll/ComPortAdapter.h"

#include "serial/ComAdapter.h"
#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "platform/system/SystemError.h"

#include <stdexcept>

QString PortErrorText(const EComPort& error) {
    if (const std::string advice = ComErrorAdvice(error); !advice.empty()) {
        return QString::fromStdString(advice);
    }
    if (error.SystemCode() == EComPort::NoSystemCode) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("%1 (%2)").arg(
        QString::fromUtf8(error.what()),
        QString::fromStdString(SystemErrorText(error.SystemCode())));
}

ComPortAdapter::ComPortAdapter(TCustomComPort& port) : m_port(port) {}

ComPortAdapter::~ComPortAdapter() {
    m_port.OnRxChar = nullptr;
}

bool ComPortAdapter::Connected() const {
    return m_port.Connected();
}

void ComPortAdapter::SetConnected(bool connected) {
    if (connected && !m_port.Connected()) {
        open();
        return;
    }
    m_port.SetConnected(connected);
}

void ComPortAdapter::open() {
    const SerialAdapterIdentity remembered = m_port.AdapterIdentity();
    const TAdapterCheck check = CheckAdapter(m_port.Port(), remembered);
    if (check.Outcome == TAdapterCheck::aoRefused) {
        throw AdapterRefusedError(check.Message);
    }
    if (check.Outcome == TAdapterCheck::aoMoved) {
        m_port.SetPort(check.Port);
        m_port.SetAdapterIdentity(remembered);
    }
    m_port.SetConnected(true);
    m_reopenable = PortCanBeReopened(m_port.Port());
    // The adapter now behind the name is the one to find again (none for a
    // port that is not a USB adapter, or one given by any other path).
    m_port.SetAdapterIdentity(AdapterOfPort(m_port.Port()));
    if (check.Outcome == TAdapterCheck::aoMoved && m_onLineChange) {
        m_onLineChange({LineChange::Kind::Moved, QString::fromStdString(check.Message)});
    }
}

QString ComPortAdapter::Port() const {
    return QString::fromStdString(m_port.Port());
}

TBaudRate ComPortAdapter::BaudRate() const {
    return m_port.BaudRate();
}

void ComPortAdapter::WriteData(const void* buffer, int count) {
    try {
        m_port.WriteData(buffer, count);
    } catch (const EComPort& error) {
        if (ComLineLost(error)) {
            throw LineLostError(PortErrorText(error).toStdString());
        }
        throw std::runtime_error(PortErrorText(error).toStdString());
    }
}

int ComPortAdapter::ReadData(void* buffer, int count) {
    try {
        return m_port.ReadData(buffer, count);
    } catch (const EComPort& error) {
        if (ComLineLost(error)) {
            throw LineLostError(PortErrorText(error).toStdString());
        }
        throw;
    }
}

void ComPortAdapter::ExpectReply(int count) {
    m_port.ExpectInput(count);
}

void ComPortAdapter::SetOnRxChar(std::function<void(int count)> handler) {
    if (!handler) {
        m_port.OnRxChar = nullptr;
        return;
    }
    m_port.OnRxChar = [handler = std::move(handler)](TCustomComPort*, int count) {
        handler(count);
    };
}

void ComPortAdapter::SetOnLineChange(std::function<void(const LineChange& change)> handler) {
    m_onLineChange = std::move(handler);
}

std::chrono::steady_clock::time_point ComPortAdapter::LastRxTime() const {
    return m_port.LastRxTime();
}
