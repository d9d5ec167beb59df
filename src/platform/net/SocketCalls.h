#pragma once
// The system's socket calls, as the client, the server and the resolver use
// them: one twin per system, BSD sockets on Linux (linux/) and Winsock on
// Windows (win32/). Codes are the system's own (errno, the resolver's EAI_
// codes; WSA codes on Windows) and become words through NetErrorOf. For this
// folder's own files only.

#include "platform/net/NetAddress.h"
#include "platform/net/NetEndpoint.h"
#include "platform/net/NetError.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace SocketCalls {

/// How long a connection may leave data unacknowledged, or stay silent to
/// keepalive probes, before the system gives it up: a peer that vanished
/// without closing (a cable pulled, a device server switched off) is
/// noticed within this time.
inline constexpr std::chrono::seconds DeadPeerLimit{6};

/// The system's codes for the failures this folder reports itself.
int TimedOutCode();
int NotConnectedCode();
int WouldBlockCode();
int AddressNotAvailableCode();

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

/// Starts connecting a non-blocking socket: 0 when the connect is under way
/// (or made), else the code of its failure.
int StartConnect(SocketHandle socket, const NetAddress& address);
/// Whether a connect under way has ended, made or failed (PendingError
/// tells which); never waits.
bool ConnectEnded(SocketHandle socket);

/// What one send or receive did: the bytes moved, or the code of its
/// failure (WouldBlockCode() when there was no room or nothing to take).
struct Transfer {
    std::size_t count = 0;
    int error = 0;
};
/// Sends what the connection takes now, without a signal for a peer that
/// has gone: the error says it.
Transfer Send(SocketHandle socket, const void* bytes, std::size_t count);
/// Takes what waits; a count of 0 without an error is the peer's closing.
Transfer Receive(SocketHandle socket, void* buffer, std::size_t size);
/// Bytes waiting to be received.
std::size_t Waiting(SocketHandle socket);

/// Binds with the address free to be taken again at once, and listens:
/// 0 or the code.
int BindAndListen(SocketHandle socket, const NetAddress& address, int backlog);
/// The port a socket is bound to.
std::uint16_t BoundPort(SocketHandle socket);
/// The next connection waiting on a listening socket, non-blocking; none
/// when none waits.
SocketHandle Accept(SocketHandle socket);

enum class Ready {
    Yes,      ///< readable (bytes, a connection, the peer's closing) or writable
    Stopped,  ///< the stop descriptor (an EventFd) was signalled
    TimedOut, ///< the deadline passed
    Failed,
};
/// Waits until the socket is readable (or writable), stopFd is signalled or
/// the deadline passes (none: for ever).
Ready Wait(SocketHandle socket, bool writable, int stopFd,
           std::optional<std::chrono::steady_clock::time_point> deadline);

/// The system's resolver: the addresses of a host and port, preferred first.
/// numericOnly takes the host only as an address as typed, which never
/// waits on the network; an empty host stands for every local address.
struct Lookup {
    std::vector<NetAddress> addresses;
    NetResult error;
    /// The resolver's code: 0, or NoNameCode() for a host that is no address.
    int code = 0;
};
Lookup LookUp(const NetEndpoint& endpoint, bool numericOnly);
int NoNameCode();

} // namespace SocketCalls
