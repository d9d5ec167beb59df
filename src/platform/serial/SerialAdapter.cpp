#include "platform/serial/SerialAdapter.h"

#include "platform/serial/SerialPortList.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <utility>

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

// The text's fields, in the order written. The names are short and fixed
// so that a stored identity stays readable in the settings file.
using Field = std::pair<const char*, QString SerialAdapterIdentity::*>;
constexpr std::array<Field, 7> Fields = {{
    {"vendor", &SerialAdapterIdentity::vendorId},
    {"product", &SerialAdapterIdentity::productId},
    {"serial", &SerialAdapterIdentity::serialNumber},
    {"path", &SerialAdapterIdentity::usbPath},
    {"interface", &SerialAdapterIdentity::interface},
    {"manufacturer", &SerialAdapterIdentity::manufacturer},
    {"name", &SerialAdapterIdentity::product},
}};

// Field values may hold any character; the separators are escaped.
QString escaped(const QString& value) {
    return QString::fromLatin1(value.toUtf8().toPercentEncoding(" ()-._,:/"));
}

} // namespace

bool SerialAdapterIdentity::sameAdapter(const SerialAdapterIdentity& other) const {
    if (isEmpty() || vendorId != other.vendorId || productId != other.productId ||
        interface != other.interface) {
        return false;
    }
    if (serialNumber != other.serialNumber) {
        return false;
    }
    // Without a serial number only the socket it is plugged into tells two
    // adapters of the same make apart.
    return !serialNumber.isEmpty() || usbPath == other.usbPath;
}

QString SerialAdapterIdentity::description() const {
    if (isEmpty()) {
        return {};
    }
    QStringList words;
    for (const QString& word : {manufacturer, product}) {
        if (!word.isEmpty()) {
            words.append(word);
        }
    }
    QString text = words.isEmpty() ? QStringLiteral("USB adapter") : words.join(QLatin1Char(' '));
    if (!serialNumber.isEmpty()) {
        text += QStringLiteral(", serial %1").arg(serialNumber);
    }
    return text + QStringLiteral(" (USB %1:%2 at %3)").arg(vendorId, productId, usbPath);
}

QString SerialAdapterIdentity::toText() const {
    if (isEmpty()) {
        return {};
    }
    QStringList parts;
    for (const auto& [name, member] : Fields) {
        parts.append(QLatin1String(name) + QLatin1Char('=') + escaped(this->*member));
    }
    return parts.join(QLatin1Char(';'));
}

SerialAdapterIdentity SerialAdapterIdentity::fromText(const QString& text) {
    SerialAdapterIdentity identity;
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            return {};
        }
        const QString name = part.left(equals);
        const auto field = std::find_if(Fields.begin(), Fields.end(), [&name](const Field& known) {
            return name == QLatin1String(known.first);
        });
        if (field != Fields.end()) {
            identity.*(field->second) =
                QString::fromUtf8(QByteArray::fromPercentEncoding(part.mid(equals + 1).toUtf8()));
        }
    }
    // Without the IDs nothing can be recognised; with them the rest may be empty.
    if (identity.vendorId.isEmpty() || identity.productId.isEmpty()) {
        return {};
    }
    return identity;
}

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
