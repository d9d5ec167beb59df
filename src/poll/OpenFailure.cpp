#include "poll/OpenFailure.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <QCoreApplication>

QString OpenFailureReason(const QString& port, const EComPort& error) {
    const QString name = port.trimmed().isEmpty()
                             ? QCoreApplication::translate("OpenFailure", "(no port chosen)")
                             : port;
    return QStringLiteral("%1: %2").arg(name, PortErrorText(error));
}

OperatorPortAdapter::OperatorPortAdapter(TCustomComPort& port)
    : ComPortAdapter(port), m_port(port) {}

PortError OperatorPortAdapter::OpenFailure(const EComPort& error) const {
    return PortError{PortError::Kind::Refused,
                     OpenFailureReason(QString::fromStdString(m_port.Port()), error)};
}
