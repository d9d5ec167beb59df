#include "platform/net/SocketCalls.h"

// winsock2.h first: the others need its types, and windows.h after it.
#include <winsock2.h>

#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

// Winsock: SOCKET handles, WSA error codes, waits on a network event beside
// the stop event (an EventFd's event handle). Winsock is started once, the
// first time a socket or a lookup is asked for, and stays for the process.

namespace SocketCalls {
namespace {

using Clock = std::chrono::steady_clock;

constexpr ULONG KeepAliveIdleMilliseconds = 2000;
constexpr ULONG KeepAliveIntervalMilliseconds = 1000;
constexpr DWORD KeepAliveProbes = 4;
// The option numbers Windows 10 has, which the cross compiler's headers lack:
// the count of unanswered keepalive probes (TCP_KEEPCNT) and the seconds
// unacknowledged data is sent again before the connection is given up
// (TCP_MAXRT, what TCP_USER_TIMEOUT is on Linux).
constexpr int TcpKeepAliveCount = 16;
constexpr int TcpMaximumRetransmitSeconds = 5;

void startWinsock() {
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        // A failure shows in the first call that needs Winsock.
        static_cast<void>(::WSAStartup(MAKEWORD(2, 2), &data));
    });
}

SOCKET native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

void setOption(SocketHandle socket, int level, int name, DWORD value) {
    // An option the system lacks leaves the connection as it was; the
    // connection works without it, if less well.
    static_cast<void>(::setsockopt(native(socket), level, name,
                                   reinterpret_cast<const char*>(&value), sizeof value));
}

bool makeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

// Whether the socket is ready now, without waiting.
bool readyNow(SOCKET socket, bool writable) {
    WSAPOLLFD descriptor{socket, static_cast<SHORT>(writable ? POLLWRNORM : POLLRDNORM), 0};
    // A hang-up or an error reads as the end of the stream, which Receive tells.
    return ::WSAPoll(&descriptor, 1, 0) > 0 && descriptor.revents != 0;
}

DWORD millisecondsUntil(std::optional<Clock::time_point> deadline) {
    if (!deadline) {
        return INFINITE;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, INFINITE - 1));
}

} // namespace

int TimedOutCode() {
    return WSAETIMEDOUT;
}

int NotConnectedCode() {
    return WSAENOTCONN;
}

int WouldBlockCode() {
    return WSAEWOULDBLOCK;
}

int AddressNotAvailableCode() {
    return WSAEADDRNOTAVAIL;
}

SocketHandle OpenStream(int family, NetResult& error) {
    startWinsock();
    const SOCKET socket = ::WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                       WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        error = NetErrorOf(::WSAGetLastError());
        return NoSocket;
    }
    if (!makeNonBlocking(socket)) {
        error = NetErrorOf(::WSAGetLastError());
        ::closesocket(socket);
        return NoSocket;
    }
    return static_cast<SocketHandle>(socket);
}

void ApplyLinkOptions(SocketHandle socket) {
    // A request is one small segment: without this, Nagle's algorithm holds
    // it back until the acknowledgement of the last one, which the peer
    // delays by up to 200 ms on Windows.
    setOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
    // Keepalive after 2 s of silence, one probe a second: the one way that
    // works on every Windows; the count of probes is Windows 10's (ten
    // before it, which still notices a dead peer within 12 s).
    tcp_keepalive keepAlive{1, KeepAliveIdleMilliseconds, KeepAliveIntervalMilliseconds};
    DWORD returned = 0;
    static_cast<void>(::WSAIoctl(native(socket), SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive,
                                 nullptr, 0, &returned, nullptr, nullptr));
    setOption(socket, IPPROTO_TCP, TcpKeepAliveCount, KeepAliveProbes);
    // Keepalive only probes an idle connection; a poll sends every half
    // second, so a dead peer shows as data nobody acknowledges.
    setOption(socket, IPPROTO_TCP, TcpMaximumRetransmitSeconds,
              static_cast<DWORD>(DeadPeerLimit.count()));
}

void Close(SocketHandle socket) {
    if (socket != NoSocket) {
        ::closesocket(native(socket));
    }
}

QString AddressText(const void* address, int length) {
    wchar_t host[NI_MAXHOST] = {};
    wchar_t service[NI_MAXSERV] = {};
    if (::GetNameInfoW(static_cast<const sockaddr*>(address), length, host, NI_MAXHOST, service,
                       NI_MAXSERV, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return QStringLiteral("?");
    }
    const QString hostText = QString::fromWCharArray(host);
    const QString serviceText = QString::fromWCharArray(service);
    return hostText.contains(u':') ? u'[' + hostText + QStringLiteral("]:") + serviceText
                                   : hostText + u':' + serviceText;
}

int PendingError(SocketHandle socket) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &length) != 0) {
        return ::WSAGetLastError();
    }
    if (error != 0) {
        return error;
    }
    // A connect that ended without a peer is no connection, whatever the
    // socket kept of why.
    sockaddr_storage peer{};
    int peerLength = sizeof peer;
    if (::getpeername(native(socket), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
        return ::WSAGetLastError();
    }
    return 0;
}

int StartConnect(SocketHandle socket, const NetAddress& address) {
    if (::connect(native(socket), reinterpret_cast<const sockaddr*>(address.bytes.data()),
                  address.length) == 0) {
        return 0;
    }
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK ? 0 : error;
}

bool ConnectEnded(SocketHandle socket) {
    // A connect that failed shows among the exceptions, not as writable.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native(socket), &writable);
    FD_SET(native(socket), &failed);
    timeval now{0, 0};
    return ::select(0, nullptr, &writable, &failed, &now) > 0;
}

Transfer Send(SocketHandle socket, const void* bytes, std::size_t count) {
    // Windows raises no signal for a peer that has gone.
    const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    const int sent = ::send(native(socket), static_cast<const char*>(bytes), piece, 0);
    if (sent == SOCKET_ERROR) {
        return Transfer{0, ::WSAGetLastError()};
    }
    return Transfer{static_cast<std::size_t>(sent), 0};
}

Transfer Receive(SocketHandle socket, void* buffer, std::size_t size) {
    const int piece = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    const int count = ::recv(native(socket), static_cast<char*>(buffer), piece, 0);
    if (count == SOCKET_ERROR) {
        return Transfer{0, ::WSAGetLastError()};
    }
    return Transfer{static_cast<std::size_t>(count), 0};
}

std::size_t Waiting(SocketHandle socket) {
    u_long count = 0;
    if (::ioctlsocket(native(socket), FIONREAD, &count) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

int BindAndListen(SocketHandle socket, const NetAddress& address, int backlog) {
    // No SO_REUSEADDR: on Windows it would let another program take the
    // port from under a listener. Windows binds a port whose old connections
    // linger in TIME_WAIT without it.
    if (::bind(native(socket), reinterpret_cast<const sockaddr*>(address.bytes.data()),
               address.length) != 0 ||
        ::listen(native(socket), backlog) != 0) {
        return ::WSAGetLastError();
    }
    return 0;
}

std::uint16_t BoundPort(SocketHandle socket) {
    sockaddr_storage bound{};
    int length = sizeof bound;
    if (::getsockname(native(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        return 0;
    }
    return bound.ss_family == AF_INET6 ? ::ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                       : ::ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
}

SocketHandle Accept(SocketHandle socket) {
    const SOCKET accepted = ::accept(native(socket), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        return NoSocket;
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    if (!makeNonBlocking(accepted)) {
        ::closesocket(accepted);
        return NoSocket;
    }
    return static_cast<SocketHandle>(accepted);
}

Ready Wait(SocketHandle socket, bool writable, int stopFd,
           std::optional<std::chrono::steady_clock::time_point> deadline) {
    const HANDLE stop = ::LongToHandle(stopFd);
    const WSAEVENT network = ::WSACreateEvent();
    if (network == WSA_INVALID_EVENT) {
        return Ready::Failed;
    }
    // The socket's events are bound to an event of this wait's own and let
    // go again after it; a look before each wait catches what was ready
    // before they were bound.
    const long events = writable ? FD_WRITE | FD_CLOSE : FD_READ | FD_ACCEPT | FD_CLOSE;
    Ready ready = Ready::Failed;
    if (::WSAEventSelect(native(socket), network, events) == 0) {
        for (;;) {
            if (::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
                ready = Ready::Stopped;
                break;
            }
            if (readyNow(native(socket), writable)) {
                ready = Ready::Yes;
                break;
            }
            const HANDLE handles[2] = {network, stop};
            const DWORD woken =
                ::WaitForMultipleObjects(2, handles, FALSE, millisecondsUntil(deadline));
            if (woken == WAIT_TIMEOUT) {
                ready = Ready::TimedOut;
                break;
            }
            if (woken == WAIT_OBJECT_0 + 1) {
                ready = Ready::Stopped;
                break;
            }
            if (woken != WAIT_OBJECT_0) {
                break;
            }
            WSANETWORKEVENTS happened{};
            ::WSAEnumNetworkEvents(native(socket), network, &happened);
        }
        ::WSAEventSelect(native(socket), nullptr, 0);
    }
    ::WSACloseEvent(network);
    return ready;
}

Lookup LookUp(const NetEndpoint& endpoint, bool numericOnly) {
    startWinsock();
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0) |
                     (endpoint.host.isEmpty() ? AI_PASSIVE : 0);
    const std::wstring host = endpoint.host.toStdWString();
    const std::wstring port = std::to_wstring(endpoint.port);
    ADDRINFOW* list = nullptr;
    Lookup lookup;
    lookup.code =
        ::GetAddrInfoW(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &list);
    if (lookup.code != 0) {
        lookup.error = NetErrorOf(lookup.code);
        return lookup;
    }
    for (const ADDRINFOW* entry = list; entry != nullptr; entry = entry->ai_next) {
        NetAddress address;
        if (entry->ai_addrlen > address.bytes.size()) {
            continue;
        }
        std::memcpy(address.bytes.data(), entry->ai_addr, entry->ai_addrlen);
        address.length = static_cast<int>(entry->ai_addrlen);
        address.family = entry->ai_family;
        address.text = AddressText(entry->ai_addr, address.length);
        lookup.addresses.push_back(address);
    }
    ::FreeAddrInfoW(list);
    return lookup;
}

int NoNameCode() {
    // What GetAddrInfoW answers for a host that is no address as typed, and
    // for a name nobody knows (EAI_NONAME).
    return WSAHOST_NOT_FOUND;
}

} // namespace SocketCalls
