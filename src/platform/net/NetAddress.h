#pragma once
// One address a host led to, ready to connect to or listen on. Its bytes are
// the system's own socket address; above this layer it is only carried about
// and shown.

#include <QString>
#include <array>
#include <cstdint>

/// The handle of a socket, wide enough for either system's kind.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle NoSocket = -1;

struct NetAddress {
    /// Large enough for any socket address (the system's sockaddr_storage).
    std::array<std::uint8_t, 128> bytes{};
    int length = 0;
    int family = 0;
    /// "192.0.2.7:502" or "[2001:db8::7]:502", for the operator.
    QString text;
};
