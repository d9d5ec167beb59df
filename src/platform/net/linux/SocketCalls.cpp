#include "platform/net/SocketCalls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// BSD sockets: descriptors, errno, poll() with the stop EventFd beside the
// socket.

namespace SocketCalls {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int KeepAliveIdleSeconds = 2;
constexpr int KeepAliveIntervalSeconds = 1;
constexpr int KeepAliveProbes = 4;

void setOption(SocketHandle socket, int level, int name, int value) {
    // An option the system lacks leaves the connection as it was; the
    // connection works without it, if less well.
    static_cast<void>(::setsockopt(static_cast<int>(socket), level, name, &value, sizeof value));
}

int pollFor(pollfd* descriptors, nfds_t count, std::optional<Clock::time_point> deadline) {
    for (;;) {
        int wait = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        }
        const int ready = ::poll(descriptors, count, wait);
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
    }
}

} // namespace

int TimedOutCode() {
    return ETIMEDOUT;
}

int NotConnectedCode() {
    return ENOTCONN;
}

int WouldBlockCode() {
    return EAGAIN;
}

int AddressNotAvailableCode() {
    return EADDRNOTAVAIL;
}

SocketHandle OpenStream(int family, NetResult& error) {
    const int socket = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) {
        error = NetErrorOf(errno);
        return NoSocket;
    }
    return socket;
}

void ApplyLinkOptions(SocketHandle socket) {
    // A request is one small segment: without this, Nagle's algorithm holds
    // it back until the acknowledgement of the last one, which the peer
    // delays by up to 40 ms.
    setOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(socket, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(socket, IPPROTO_TCP, TCP_KEEPIDLE, KeepAliveIdleSeconds);
    setOption(socket, IPPROTO_TCP, TCP_KEEPINTVL, KeepAliveIntervalSeconds);
    setOption(socket, IPPROTO_TCP, TCP_KEEPCNT, KeepAliveProbes);
    // Keepalive only probes an idle connection; a poll sends every half
    // second, so a dead peer shows as data nobody acknowledges.
    setOption(socket, IPPROTO_TCP, TCP_USER_TIMEOUT,
              static_cast<int>(std::chrono::milliseconds(DeadPeerLimit).count()));
}

void Close(SocketHandle socket) {
    if (socket != NoSocket) {
        ::close(static_cast<int>(socket));
    }
}

QString AddressText(const void* address, int length) {
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(static_cast<const sockaddr*>(address), static_cast<socklen_t>(length), host,
                      sizeof host, service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return QStringLiteral("?");
    }
    const QString hostText = QString::fromLatin1(host);
    const QString serviceText = QString::fromLatin1(service);
    return hostText.contains(u':') ? u'[' + hostText + QStringLiteral("]:") + serviceText
                                   : hostText + u':' + serviceText;
}

int PendingError(SocketHandle socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

int StartConnect(SocketHandle socket, const NetAddress& address) {
    const int result =
        ::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(address.bytes.data()),
                  static_cast<socklen_t>(address.length));
    return result == 0 || errno == EINPROGRESS ? 0 : errno;
}

bool ConnectEnded(SocketHandle socket) {
    pollfd descriptor{static_cast<int>(socket), POLLOUT, 0};
    return ::poll(&descriptor, 1, 0) > 0;
}

Transfer Send(SocketHandle socket, const void* bytes, std::size_t count) {
    for (;;) {
        const ssize_t sent = ::send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL);
        if (sent >= 0) {
            return Transfer{static_cast<std::size_t>(sent), 0};
        }
        if (errno != EINTR) {
            return Transfer{0, errno == EWOULDBLOCK ? EAGAIN : errno};
        }
    }
}

Transfer Receive(SocketHandle socket, void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = ::recv(static_cast<int>(socket), buffer, size, 0);
        if (count >= 0) {
            return Transfer{static_cast<std::size_t>(count), 0};
        }
        if (errno != EINTR) {
            return Transfer{0, errno == EWOULDBLOCK ? EAGAIN : errno};
        }
    }
}

std::size_t Waiting(SocketHandle socket) {
    int count = 0;
    if (::ioctl(static_cast<int>(socket), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

int BindAndListen(SocketHandle socket, const NetAddress& address, int backlog) {
    setOption(socket, SOL_SOCKET, SO_REUSEADDR, 1);
    if (::bind(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(address.bytes.data()),
               static_cast<socklen_t>(address.length)) != 0 ||
        ::listen(static_cast<int>(socket), backlog) != 0) {
        return errno;
    }
    return 0;
}

std::uint16_t BoundPort(SocketHandle socket) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&bound), &length) !=
        0) {
        return 0;
    }
    return bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                       : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
}

SocketHandle Accept(SocketHandle socket) {
    const int accepted =
        ::accept4(static_cast<int>(socket), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return accepted < 0 ? NoSocket : accepted;
}

Ready Wait(SocketHandle socket, bool writable, int stopFd,
           std::optional<std::chrono::steady_clock::time_point> deadline) {
    pollfd descriptors[2] = {
        {static_cast<int>(socket), static_cast<short>(writable ? POLLOUT : POLLIN), 0},
        {stopFd, POLLIN, 0}};
    const int ready = pollFor(descriptors, 2, deadline);
    if (ready < 0) {
        return Ready::Failed;
    }
    if ((descriptors[1].revents & POLLIN) != 0) {
        return Ready::Stopped;
    }
    // A hang-up or an error reads as the end of the stream, which Receive tells.
    return ready == 0 ? Ready::TimedOut : Ready::Yes;
}

Lookup LookUp(const NetEndpoint& endpoint, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0) |
                     (endpoint.host.isEmpty() ? AI_PASSIVE : 0);
    const QByteArray host = endpoint.host.toUtf8();
    const QByteArray port = QByteArray::number(endpoint.port);
    addrinfo* list = nullptr;
    Lookup lookup;
    lookup.code =
        ::getaddrinfo(host.isEmpty() ? nullptr : host.constData(), port.constData(), &hints, &list);
    if (lookup.code != 0) {
        const QString text = lookup.code == EAI_SYSTEM
                                 ? QString::fromLocal8Bit(std::strerror(errno))
                                 : QString::fromLocal8Bit(gai_strerror(lookup.code));
        lookup.error = NetError{lookup.code, text};
        return lookup;
    }
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
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
    ::freeaddrinfo(list);
    return lookup;
}

int NoNameCode() {
    return EAI_NONAME;
}

} // namespace SocketCalls
