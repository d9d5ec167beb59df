#include "app/OpenFailure.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

QString OpenFailureReason(const QString& port, const EComPort& error) {
    const QString name = port.trimmed().isEmpty() ? QStringLiteral("(no port chosen)") : port;
    if (error.SystemCode() == EComPort::NoSystemCode) {
        return QStringLiteral("%1: %2").arg(name, QString::fromUtf8(error.what()));
    }
    const int code = static_cast<int>(error.SystemCode());
    switch (code) {
    case EACCES:
    case EPERM:
        return QStringLiteral("%1: permission denied. Add your user to the dialout group "
                              "(sudo usermod -aG dialout $USER) and log in again.")
            .arg(name);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("%1: no such device. Check the adapter is plugged in and "
                              "choose its port in the port settings.")
            .arg(name);
    case EBUSY:
        return QStringLiteral("%1: the port is in use by another program.").arg(name);
    default:
        return QStringLiteral("%1: %2 (error %3)")
            .arg(name, QString::fromLocal8Bit(std::strerror(code)))
            .arg(code);
    }
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
