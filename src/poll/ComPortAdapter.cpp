#include "poll/ComPortAdapter.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <cstring>
#include <stdexcept>

QString PortErrorText(const EComPort& error) {
    if (const std::string advice = ComErrorAdvice(error); !advice.empty()) {
        return QString::fromStdString(advice);
    }
    if (error.SystemCode() == EComPort::NoSystemCode) {
        return QString::fromUtf8(error.what());
    }
    const int code = static_cast<int>(error.SystemCode());
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(error.what()),
                                         QString::fromLocal8Bit(std::strerror(code)));
}

ComPortAdapter::ComPortAdapter(TCustomComPort& port) : m_port(port) {}

ComPortAdapter::~ComPortAdapter() {
    m_port.OnRxChar = nullptr;
}

bool ComPortAdapter::Connected() const {
    return m_port.Connected();
}

void ComPortAdapter::SetConnected(bool connected) {
    m_port.SetConnected(connected);
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
        throw std::runtime_error(PortErrorText(error).toStdString());
    }
}

int ComPortAdapter::ReadData(void* buffer, int count) {
    return m_port.ReadData(buffer, count);
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

std::chrono::steady_clock::time_point ComPortAdapter::LastRxTime() const {
    return m_port.LastRxTime();
}
