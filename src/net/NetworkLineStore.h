#pragma once
// The window's choice of line, kept with the other port settings: in the
// same key of the registry-shaped store as the serial port's values, under
// names of its own, all text:
//
//   Line            "Serial" or "Network"
//   NetworkHost     the host, as typed
//   NetworkPort     the TCP port, in decimal
//   NetworkFraming  "Modbus TCP" or "RTU over TCP"
//   NetworkDevice   "Gateway" (the serial line behind it runs at the port's
//                   BaudRate) or "Native" (a Modbus TCP device of its own)
//
// A key written before the network line existed has none of them, and reads
// as the serial port with an empty network line.

#include "net/NetworkLineSettings.h"

#include <QString>
#include <optional>

struct LineChoice {
    bool network = false;
    NetworkFraming framing = NetworkFraming::ModbusTcp;
    NetEndpoint endpoint;
    /// A Modbus TCP device of its own, with no serial line behind it.
    bool native = false;

    bool operator==(const LineChoice&) const = default;

    /// The network line's settings, with the rate of the serial line behind a gateway.
    NetworkLineSettings Settings(TBaudRate gatewayRate) const;
};

struct LineChoiceLoad {
    LineChoice choice;
    /// Why the stored choice could not be read (a damaged store); the
    /// choice is then the default.
    std::optional<QString> error;
};

/// Reads the choice from the port component's key under a registry location
/// such as "HKEY_LOCAL_MACHINE\Software\KESTRO_MODBUS_M".
LineChoiceLoad LoadLineChoice(const std::string& location, const std::string& componentName);
/// Writes it there beside the port's own values; an error text, or nothing.
std::optional<QString> SaveLineChoice(const LineChoice& choice, const std::string& location,
                                      const std::string& componentName);
