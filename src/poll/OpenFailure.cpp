#include "poll/OpenFailure.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <QCoreApplication>
#include <stdexcept>

QString OpenFailureReason(const QString& port, const EComPort& error) {
    const QString name = port.trimmed().isEmpty()
                             ? QCoreApplication::translate("OpenFailure", "(no port chosen)")
                             : port;
    return QStringLiteral("%1: %2").arg(name, PortErrorText(error));
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
