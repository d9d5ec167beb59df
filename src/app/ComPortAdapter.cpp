#include "app/ComPortAdapter.h"

#include "serial/ComPort.h"

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
    m_port.WriteData(buffer, count);
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
