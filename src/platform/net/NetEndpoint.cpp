#include "platform/net/NetEndpoint.h"

namespace {

constexpr int HighestPort = 65535;

bool allDigits(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar character : text) {
        if (character < u'0' || character > u'9') {
            return false;
        }
    }
    return true;
}

std::optional<std::uint16_t> parsePort(const QString& text, std::uint16_t lowestPort) {
    // Digits only: no sign, no blanks, no hexadecimal; at most five of them,
    // so that a long run of digits cannot wrap round into the range.
    if (!allDigits(text) || text.size() > 5) {
        return std::nullopt;
    }
    const int port = text.toInt();
    if (port < lowestPort || port > HighestPort) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

} // namespace

EndpointParse ParseEndpoint(const QString& text, std::uint16_t defaultPort,
                            std::uint16_t lowestPort, bool hostOptional) {
    const QString trimmed = text.trimmed();
    QString host;
    std::optional<QString> port;
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0) {
            return {std::nullopt, EndpointError::NoHost};
        }
        host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':')) {
                return {std::nullopt, EndpointError::BadPort};
            }
            port = rest.mid(1);
        }
    } else if (trimmed.count(u':') > 1) {
        // Two colons or more without brackets: a bare IPv6 address, no port.
        host = trimmed;
    } else if (const qsizetype colon = trimmed.indexOf(u':'); colon >= 0) {
        host = trimmed.left(colon);
        port = trimmed.mid(colon + 1);
    } else if (hostOptional && allDigits(trimmed)) {
        port = trimmed;
    } else {
        host = trimmed;
    }
    std::uint16_t number = defaultPort;
    if (port) {
        const auto parsed = parsePort(*port, lowestPort);
        if (!parsed) {
            return {std::nullopt, EndpointError::BadPort};
        }
        number = *parsed;
    }
    if (host.isEmpty() && !hostOptional) {
        return {std::nullopt, EndpointError::NoHost};
    }
    return {NetEndpoint{host, number}, EndpointError::None};
}

QString EndpointText(const NetEndpoint& endpoint) {
    const QString port = QString::number(endpoint.port);
    if (endpoint.host.contains(u':')) {
        return u'[' + endpoint.host + QStringLiteral("]:") + port;
    }
    return endpoint.host + u':' + port;
}
