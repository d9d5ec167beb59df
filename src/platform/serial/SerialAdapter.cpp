#include "platform/serial/SerialAdapter.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <utility>

namespace {

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
