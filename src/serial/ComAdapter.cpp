#include "serial/ComAdapter.h"

#include "platform/serial/PseudoTerminal.h"
#include "platform/serial/SerialDevice.h"
#include "platform/serial/SerialPortList.h"

#include <QStringList>

namespace {

const std::string DeviceFolder = "/dev/";

// The kernel's tty name of a port given by a plain name, or empty.
QString ttyNameOf(const std::string& port) {
    const QString name = serialPortNameForPath(QString::fromStdString(port));
    return name.contains(QLatin1Char('/')) ? QString() : name;
}

// The port under the adapter's new name, written as the old one was.
std::string renamed(const std::string& port, const QString& tty) {
    const bool path = port.rfind(DeviceFolder, 0) == 0;
    return (path ? DeviceFolder : std::string()) + tty.toStdString();
}

// The ttys of the remembered adapter. Adapters that share a serial number
// (cheap ones often do) are told apart by the socket they are plugged into.
QStringList portsOf(const QString& root, const SerialAdapterIdentity& remembered) {
    QStringList found = serialPortsOfAdapter(root, remembered);
    if (found.size() > 1) {
        found.removeIf([&](const QString& name) {
            return serialAdapterOf(root, name).usbPath != remembered.usbPath;
        });
    }
    return found;
}

} // namespace

TAdapterCheck CheckAdapter(const std::string& Port, const SerialAdapterIdentity& Remembered) {
    TAdapterCheck check;
    check.Port = Port;
    const QString tty = ttyNameOf(Port);
    if (Remembered.isEmpty() || tty.isEmpty()) {
        return check;
    }
    const QString root = serialSysfsRoot();
    const SerialAdapterIdentity present = serialAdapterOf(root, tty);
    if (present.sameAdapter(Remembered)) {
        return check;
    }
    const QStringList ports = portsOf(root, Remembered);
    if (ports.size() == 1) {
        check.Outcome = TAdapterCheck::aoMoved;
        check.Port = renamed(Port, ports.front());
        check.Message = QStringLiteral("The adapter used on %1 (%2) is now %3.")
                            .arg(tty, Remembered.description(), ports.front())
                            .toStdString();
        return check;
    }
    if (!present.isEmpty() || serialDeviceExists(root, tty)) {
        const QString now = present.isEmpty() ? QStringLiteral("a device that is no USB adapter")
                                              : present.description();
        check.Outcome = TAdapterCheck::aoRefused;
        check.Message = QStringLiteral("%1 is now %2, not %3 that was used on it before, so it is "
                                       "not polled. Plug that adapter back in, or choose the "
                                       "port again to use the new one.")
                            .arg(tty, now, Remembered.description())
                            .toStdString();
    }
    return check;
}

SerialAdapterIdentity AdapterOfPort(const std::string& Port) {
    const QString tty = ttyNameOf(Port);
    return tty.isEmpty() ? SerialAdapterIdentity{} : serialAdapterOf(serialSysfsRoot(), tty);
}

bool PortCanBeReopened(const std::string& Port) {
    return !isPseudoTerminalNode(SerialDevice::DevicePath(Port));
}

QString DescribePort(const QString& PortName) {
    return AdapterOfPort(PortName.toStdString()).description();
}

std::optional<int> AdapterLatencyTimer(const std::string& Port) {
    const QString tty = ttyNameOf(Port);
    return tty.isEmpty() ? std::nullopt : serialLatencyTimerOf(serialSysfsRoot(), tty);
}
