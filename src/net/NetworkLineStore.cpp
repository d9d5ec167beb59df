#include "net/NetworkLineStore.h"

#include "platform/storage/RegistryStore.h"
#include "serial/ComPortSettings.h"

#include <QCoreApplication>
#include <cstring>

namespace {

const QString LineValue = QStringLiteral("Line");
const QString HostValue = QStringLiteral("NetworkHost");
const QString PortValue = QStringLiteral("NetworkPort");
const QString FramingValue = QStringLiteral("NetworkFraming");
const QString DeviceValue = QStringLiteral("NetworkDevice");
const QString NetworkText = QStringLiteral("Network");
const QString SerialText = QStringLiteral("Serial");
const QString NativeText = QStringLiteral("Native");
const QString GatewayText = QStringLiteral("Gateway");

QString failureText(const char* what, RegistryError error, int systemCode) {
    QString text = QCoreApplication::translate("NetworkLineStore", what);
    if (error == RegistryError::Damaged) {
        text += QLatin1Char(' ') +
                QCoreApplication::translate("NetworkLineStore", "The settings file is damaged.");
    } else if (error == RegistryError::SystemError) {
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(systemCode)));
    }
    return text;
}

// Opens the key; false with the error when the store cannot be read.
RegistryError openKey(RegistryStore& registry, const std::string& location,
                      const std::string& componentName, bool forSaving) {
    const RegistryLocation resolved = resolveRegistryLocation(location, componentName);
    if (!resolved.hasKey) {
        return RegistryError::NoOpenKey;
    }
    registry.setRoot(resolved.localMachine ? RegistryRoot::LocalMachine
                                           : RegistryRoot::CurrentUser);
    return registry.openKey(QString::fromStdString(resolved.keyPath), forSaving);
}

QString readText(const RegistryStore& registry, const QString& name) {
    QString text;
    static_cast<void>(registry.readText(name, text));
    return text.trimmed();
}

} // namespace

NetworkLineSettings LineChoice::Settings(TBaudRate gatewayRate) const {
    NetworkLineSettings settings;
    settings.framing = framing;
    settings.endpoint = endpoint;
    if (!native) {
        settings.gatewayRate = gatewayRate;
    }
    return settings;
}

LineChoiceLoad LoadLineChoice(const std::string& location, const std::string& componentName) {
    LineChoiceLoad load;
    RegistryStore registry;
    const RegistryError opened = openKey(registry, location, componentName, false);
    if (opened == RegistryError::Damaged || opened == RegistryError::SystemError) {
        load.error = failureText(
            QT_TRANSLATE_NOOP("NetworkLineStore", "The network line's settings cannot be read."),
            opened, registry.systemCode());
        return load;
    }
    if (opened != RegistryError::None) {
        return load; // nothing stored yet
    }
    LineChoice& choice = load.choice;
    choice.network = readText(registry, LineValue).compare(NetworkText, Qt::CaseInsensitive) == 0;
    choice.endpoint.host = readText(registry, HostValue);
    const EndpointParse port = ParseEndpoint(readText(registry, PortValue), ModbusTcpPort, 1, true);
    choice.endpoint.port = port.endpoint ? port.endpoint->port : ModbusTcpPort;
    choice.framing =
        readText(registry, FramingValue)
                    .compare(FramingName(NetworkFraming::RtuOverTcp), Qt::CaseInsensitive) == 0
            ? NetworkFraming::RtuOverTcp
            : NetworkFraming::ModbusTcp;
    choice.native = readText(registry, DeviceValue).compare(NativeText, Qt::CaseInsensitive) == 0;
    registry.discardChanges();
    return load;
}

std::optional<QString> SaveLineChoice(const LineChoice& choice, const std::string& location,
                                      const std::string& componentName) {
    RegistryStore registry;
    const RegistryError opened = openKey(registry, location, componentName, true);
    if (opened == RegistryError::NoOpenKey || opened == RegistryError::InvalidName) {
        return failureText(
            QT_TRANSLATE_NOOP("NetworkLineStore", "The network line's settings cannot be stored."),
            opened, 0);
    }
    const std::pair<QString, QString> values[] = {
        {LineValue, choice.network ? NetworkText : SerialText},
        {HostValue, choice.endpoint.host},
        {PortValue, QString::number(choice.endpoint.port)},
        {FramingValue, FramingName(choice.framing)},
        {DeviceValue, choice.native ? NativeText : GatewayText},
    };
    for (const auto& [name, text] : values) {
        if (const RegistryError error = registry.writeText(name, text);
            error != RegistryError::None) {
            registry.discardChanges();
            return failureText(QT_TRANSLATE_NOOP("NetworkLineStore",
                                                 "The network line's settings cannot be stored."),
                               error, registry.systemCode());
        }
    }
    if (const RegistryError error = registry.closeKey(); error != RegistryError::None) {
        return failureText(
            QT_TRANSLATE_NOOP("NetworkLineStore", "The network line's settings cannot be stored."),
            error, registry.systemCode());
    }
    return std::nullopt;
}
