#include "platform/net/TcpServer.h"

#include "platform/net/HostResolver.h"
#include "platform/net/SocketCalls.h"

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Backlog = 4;

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

TcpStream::~TcpStream() {
    Close();
}

TcpStream::TcpStream(TcpStream&& other) noexcept : m_socket(other.m_socket) {
    other.m_socket = NoSocket;
}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
    if (this != &other) {
        Close();
        m_socket = other.m_socket;
        other.m_socket = NoSocket;
    }
    return *this;
}

void TcpStream::Close() {
    SocketCalls::Close(m_socket);
    m_socket = NoSocket;
}

std::optional<std::size_t> TcpStream::Receive(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t count = ::recv(static_cast<int>(m_socket), buffer.data(), buffer.size(), 0);
        if (count > 0) {
            return static_cast<std::size_t>(count);
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return 0;
        }
        return std::nullopt;
    }
}

std::size_t TcpStream::SendAll(std::span<const std::uint8_t> bytes, int stopFd,
                               std::chrono::milliseconds stallLimit) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = ::send(static_cast<int>(m_socket), bytes.data() + sent,
                                     bytes.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return sent;
        }
        pollfd descriptors[2] = {{static_cast<int>(m_socket), POLLOUT, 0}, {stopFd, POLLIN, 0}};
        if (pollFor(descriptors, 2, Clock::now() + stallLimit) <= 0 ||
            (descriptors[1].revents & POLLIN) != 0) {
            return sent;
        }
    }
    return sent;
}

TcpListener::~TcpListener() {
    Close();
}

NetResult TcpListener::Listen(const NetEndpoint& endpoint) {
    Close();
    NetEndpoint where = endpoint;
    if (where.host.isEmpty()) {
        where.host = QStringLiteral("0.0.0.0");
    }
    const Resolution resolution = HostResolver::ResolveNow(where);
    if (resolution.error) {
        return resolution.error;
    }
    NetResult failure = NetErrorOf(EADDRNOTAVAIL);
    for (const NetAddress& address : resolution.addresses) {
        NetResult error;
        const SocketHandle socket = SocketCalls::OpenStream(address.family, error);
        if (error) {
            failure = error;
            continue;
        }
        const int reuse = 1;
        ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (::bind(static_cast<int>(socket),
                   reinterpret_cast<const sockaddr*>(address.bytes.data()),
                   static_cast<socklen_t>(address.length)) != 0 ||
            ::listen(static_cast<int>(socket), Backlog) != 0) {
            failure = NetErrorOf(errno);
            SocketCalls::Close(socket);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&bound), &length);
        const std::uint16_t port = bound.ss_family == AF_INET6
                                       ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                       : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        m_socket = socket;
        m_bound = NetEndpoint{where.host, port};
        return std::nullopt;
    }
    return failure;
}

void TcpListener::Close() {
    SocketCalls::Close(m_socket);
    m_socket = NoSocket;
}

std::optional<TcpStream> TcpListener::Accept() {
    const int socket =
        ::accept4(static_cast<int>(m_socket), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket < 0) {
        return std::nullopt;
    }
    SocketCalls::ApplyLinkOptions(socket);
    return TcpStream(socket);
}

SocketWait WaitReadable(SocketHandle socket, int stopFd,
                        std::optional<std::chrono::microseconds> timeout) {
    pollfd descriptors[2] = {{static_cast<int>(socket), POLLIN, 0}, {stopFd, POLLIN, 0}};
    std::optional<Clock::time_point> deadline;
    if (timeout) {
        deadline = Clock::now() + *timeout;
    }
    const int ready = pollFor(descriptors, 2, deadline);
    if (ready < 0) {
        return SocketWait::Failed;
    }
    if ((descriptors[1].revents & POLLIN) != 0) {
        return SocketWait::Stopped;
    }
    if (ready == 0) {
        return SocketWait::TimedOut;
    }
    // A hang-up or an error reads as the end of the stream, which Receive tells.
    return SocketWait::Readable;
}
