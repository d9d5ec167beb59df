#include "platform/serial/SerialAdapter.h"

#include "platform/serial/SerialPortList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Linux tells the adapter behind a tty through sysfs.

namespace {

// A tty's device is the USB interface itself (ttyACM) or a child of it
// (ttyUSB); the USB device lies a level or two further up. The walk stops
// well before it could leave the bus.
constexpr int LongestWalkToDevice = 6;
// sysfs attributes are short; anything longer is not a value we know.
constexpr qint64 LongestAttribute = 256;

QString readAttribute(const QString& folder, const char* name) {
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.read(LongestAttribute)).trimmed();
}

QString classFolder(const QString& sysfsRoot) {
    return sysfsRoot + QStringLiteral("/class/tty");
}

} // namespace

SerialAdapterIdentity serialAdapterOf(const QString& sysfsRoot, const QString& ttyName) {
    if (ttyName.isEmpty() || ttyName.contains(QLatin1Char('/')) || ttyName.startsWith('.')) {
        return {};
    }
    const QString root = QFileInfo(sysfsRoot).canonicalFilePath();
    QString folder =
        QFileInfo(classFolder(sysfsRoot) + QLatin1Char('/') + ttyName + QStringLiteral("/device"))
            .canonicalFilePath();
    if (root.isEmpty() || folder.isEmpty()) {
        return {};
    }
    QString below;
    for (int step = 0; step < LongestWalkToDevice && folder.startsWith(root + QLatin1Char('/'));
         ++step) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) {
            SerialAdapterIdentity identity;
            identity.vendorId = readAttribute(folder, "idVendor");
            identity.productId = readAttribute(folder, "idProduct");
            identity.serialNumber = readAttribute(folder, "serial");
            identity.manufacturer = readAttribute(folder, "manufacturer");
            identity.product = readAttribute(folder, "product");
            identity.usbPath = QFileInfo(folder).fileName();
            // The interface folder is named after the device: "1-1.2:1.0".
            const QString interfacePrefix = identity.usbPath + QLatin1Char(':');
            if (below.startsWith(interfacePrefix)) {
                identity.interface = below.mid(interfacePrefix.size());
            }
            return identity.vendorId.isEmpty() ? SerialAdapterIdentity{} : identity;
        }
        below = QFileInfo(folder).fileName();
        folder = QFileInfo(folder).path();
    }
    return {};
}

QStringList serialPortsOfAdapter(const QString& sysfsRoot, const SerialAdapterIdentity& identity) {
    QStringList found;
    if (identity.isEmpty()) {
        return found;
    }
    const QStringList names =
        QDir(classFolder(sysfsRoot)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (identity.sameAdapter(serialAdapterOf(sysfsRoot, name))) {
            found.append(name);
        }
    }
    sortPortNames(found);
    return found;
}

bool serialDeviceExists(const QString& sysfsRoot, const QString& ttyName) {
    if (ttyName.isEmpty() || ttyName.contains(QLatin1Char('/'))) {
        return false;
    }
    return QFileInfo::exists(classFolder(sysfsRoot) + QLatin1Char('/') + ttyName +
                             QStringLiteral("/device"));
}

std::optional<int> serialLatencyTimerOf(const QString& sysfsRoot, const QString& ttyName) {
    if (ttyName.isEmpty() || ttyName.contains(QLatin1Char('/')) || ttyName.startsWith('.')) {
        return std::nullopt;
    }
    // ftdi_sio keeps it beside the port's own device: class/tty/ttyUSB0/device.
    const QString folder =
        classFolder(sysfsRoot) + QLatin1Char('/') + ttyName + QStringLiteral("/device");
    bool isNumber = false;
    const int milliseconds = readAttribute(folder, "latency_timer").toInt(&isNumber);
    if (!isNumber || milliseconds < 0) {
        return std::nullopt;
    }
    return milliseconds;
}
