#include "app/OpenFailure.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <cstring>
#include <stdexcept>

QString OpenFailureReason(const QString& port, const EComPort& error) {
    const QString name = port.trimmed().isEmpty() ? QStringLiteral("(no port chosen)") : port;
    if (const std::string advice = ComErrorAdvice(error); !advice.empty()) {
        return QStringLiteral("%1: %2").arg(name, QString::fromStdString(advice));
    }
    if (error.SystemCode() == EComPort::NoSystemCode) {
        return QStringLiteral("%1: %2").arg(name, QString::fromUtf8(error.what()));
    }
    const int code = static_cast<int>(error.SystemCode());
    return QStringLiteral("%1: %2 (%3)")
        .arg(name, QString::fromUtf8(error.what()), QString::fromLocal8Bit(std::strerror(code)));
}

OperatorPortAdapter::OperatorPortAdapter(TCustomComPort& port)
    : ComPortAdapter(port), m_port(port) {}

void OperatorPortAdapter::SetConnected(bool connected) {
    try {
        ComPortAdapter::SetConnected(connected);
    } catch (const EComPort& error) {
        if (!connected) {
            throw;
        }
        throw std::runtime_error(
            OpenFailureReason(QString::fromStdString(m_port.Port()), error).toStdString());
    }
}
