#pragma once
// Where a network line leads: a host (a name or an address) and a TCP port,
// read from and written as the text an operator types: "host", "host:port",
// "[v6 address]:port", or a bare IPv6 address.

#include <QString>
#include <cstdint>
#include <optional>

/// The port Modbus TCP servers and device servers listen on by default.
inline constexpr std::uint16_t ModbusTcpPort = 502;

struct NetEndpoint {
    QString host;
    std::uint16_t port = ModbusTcpPort;

    bool operator==(const NetEndpoint&) const = default;
};

enum class EndpointError {
    None,
    NoHost,  ///< the host is missing
    BadPort, ///< the port is not a number within the allowed range
};

struct EndpointParse {
    std::optional<NetEndpoint> endpoint;
    EndpointError error = EndpointError::None;
};

/// Reads "HOST[:PORT]". Without a port, defaultPort is taken; a port must lie
/// within lowestPort..65535 (0 lets a server take any free port). A host is
/// required unless hostOptional, in which case "PORT" alone is a port.
EndpointParse ParseEndpoint(const QString& text, std::uint16_t defaultPort = ModbusTcpPort,
                            std::uint16_t lowestPort = 1, bool hostOptional = false);

/// "host:port", with an IPv6 address in brackets.
QString EndpointText(const NetEndpoint& endpoint);
