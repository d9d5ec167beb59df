#pragma once
// What a network line is: where it leads, how the frames go over it, and the
// rate of the serial line behind it, which sets the pause after a reply as
// on a serial line of that rate.

#include "platform/net/NetEndpoint.h"
#include "serial/ComTypes.h"

#include <QString>
#include <optional>

enum class NetworkFraming {
    ModbusTcp,  ///< the MBAP header with a transaction id, no CRC
    RtuOverTcp, ///< RTU frames with their CRC, as a device server passes them through
};

/// A device that speaks Modbus TCP itself has no serial line behind it and
/// takes the shortest pause the engine knows (that of 115200 baud).
inline constexpr TBaudRate NativeDeviceRate = br115200;

struct NetworkLineSettings {
    NetworkFraming framing = NetworkFraming::ModbusTcp;
    NetEndpoint endpoint;
    /// The rate of the serial line behind a gateway or device server; none
    /// for a native Modbus TCP device.
    std::optional<TBaudRate> gatewayRate;

    bool operator==(const NetworkLineSettings&) const = default;

    /// The rate the engine paces the line by.
    TBaudRate PacingRate() const { return gatewayRate.value_or(NativeDeviceRate); }
};

/// "Modbus TCP" or "RTU over TCP".
QString FramingName(NetworkFraming framing);
