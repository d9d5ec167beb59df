#pragma once
// The calls the client and the server sides share: opening a stream socket,
// the options every connection of the tool carries, closing. For this
// folder's own files only.

#include "platform/net/NetAddress.h"
#include "platform/net/NetError.h"

#include <chrono>

namespace SocketCalls {

/// How long a connection may leave data unacknowledged, or stay silent to
/// keepalive probes, before the system gives it up: a peer that vanished
/// without closing (a cable pulled, a device server switched off) is
/// noticed within this time.
inline constexpr std::chrono::seconds DeadPeerLimit{6};

/// A non-blocking, close-on-exec TCP socket for the address's family.
SocketHandle OpenStream(int family, NetResult& error);
/// No Nagle delay, keepalive probes after 2 s of silence, one a second,
/// four unanswered ones or DeadPeerLimit of unacknowledged data and the
/// connection is given up.
void ApplyLinkOptions(SocketHandle socket);
void Close(SocketHandle socket);
/// The address as "host:port", with an IPv6 host in brackets.
QString AddressText(const void* address, int length);
/// The pending error of a socket (a connect that ended), 0 for none.
int PendingError(SocketHandle socket);

} // namespace SocketCalls
