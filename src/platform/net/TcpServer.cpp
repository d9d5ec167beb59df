#include "platform/net/TcpServer.h"

#include "platform/net/HostResolver.h"
#include "platform/net/SocketCalls.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Backlog = 4;

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
    const SocketCalls::Transfer taken =
        SocketCalls::Receive(m_socket, buffer.data(), buffer.size());
    if (taken.error == SocketCalls::WouldBlockCode()) {
        return 0;
    }
    if (taken.error != 0 || taken.count == 0) {
        return std::nullopt;
    }
    return taken.count;
}

std::size_t TcpStream::SendAll(std::span<const std::uint8_t> bytes, int stopFd,
                               std::chrono::milliseconds stallLimit) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const SocketCalls::Transfer part =
            SocketCalls::Send(m_socket, bytes.data() + sent, bytes.size() - sent);
        if (part.count > 0) {
            sent += part.count;
            continue;
        }
        if (part.error != 0 && part.error != SocketCalls::WouldBlockCode()) {
            return sent;
        }
        if (SocketCalls::Wait(m_socket, true, stopFd, Clock::now() + stallLimit) !=
            SocketCalls::Ready::Yes) {
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
    NetResult failure = NetErrorOf(SocketCalls::AddressNotAvailableCode());
    for (const NetAddress& address : resolution.addresses) {
        NetResult error;
        const SocketHandle socket = SocketCalls::OpenStream(address.family, error);
        if (error) {
            failure = error;
            continue;
        }
        if (const int code = SocketCalls::BindAndListen(socket, address, Backlog); code != 0) {
            failure = NetErrorOf(code);
            SocketCalls::Close(socket);
            continue;
        }
        m_socket = socket;
        m_bound = NetEndpoint{where.host, SocketCalls::BoundPort(socket)};
        return std::nullopt;
    }
    return failure;
}

void TcpListener::Close() {
    SocketCalls::Close(m_socket);
    m_socket = NoSocket;
}

std::optional<TcpStream> TcpListener::Accept() {
    const SocketHandle socket = SocketCalls::Accept(m_socket);
    if (socket == NoSocket) {
        return std::nullopt;
    }
    SocketCalls::ApplyLinkOptions(socket);
    return TcpStream(socket);
}

SocketWait WaitReadable(SocketHandle socket, int stopFd,
                        std::optional<std::chrono::microseconds> timeout) {
    std::optional<Clock::time_point> deadline;
    if (timeout) {
        deadline = Clock::now() + *timeout;
    }
    switch (SocketCalls::Wait(socket, false, stopFd, deadline)) {
    case SocketCalls::Ready::Yes:
        return SocketWait::Readable;
    case SocketCalls::Ready::Stopped:
        return SocketWait::Stopped;
    case SocketCalls::Ready::TimedOut:
        return SocketWait::TimedOut;
    case SocketCalls::Ready::Failed:
        break;
    }
    return SocketWait::Failed;
}
