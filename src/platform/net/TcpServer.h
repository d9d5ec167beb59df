#pragma once
// The server side of TCP, for a thread of its own that waits with a stop
// descriptor (an EventFd): a listening socket and the connections it accepts.
// Nothing here blocks longer than the waits it is asked for.

#include "platform/net/NetAddress.h"
#include "platform/net/NetEndpoint.h"
#include "platform/net/NetError.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// One accepted connection; closed when it goes.
class TcpStream {
public:
    TcpStream() = default;
    explicit TcpStream(SocketHandle socket) : m_socket(socket) {}
    ~TcpStream();
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    bool IsOpen() const { return m_socket != NoSocket; }
    SocketHandle Handle() const { return m_socket; }
    void Close();

    /// Takes what is waiting, up to buffer.size() bytes: 0 when nothing
    /// waits, nothing once the peer has closed or the connection failed.
    std::optional<std::size_t> Receive(std::span<std::uint8_t> buffer);
    /// Sends all bytes, waiting for room up to stallLimit at a time, unless
    /// stopFd is signalled first. Returns the count sent.
    std::size_t SendAll(std::span<const std::uint8_t> bytes, int stopFd,
                        std::chrono::milliseconds stallLimit);

private:
    SocketHandle m_socket = NoSocket;
};

class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    /// Binds to the endpoint (an empty host: every IPv4 interface; port 0:
    /// any free port) and listens. The address may be taken again at once
    /// after the last listener on it has gone.
    NetResult Listen(const NetEndpoint& endpoint);
    void Close();
    bool IsListening() const { return m_socket != NoSocket; }
    SocketHandle Handle() const { return m_socket; }
    /// The endpoint listened on, with the port actually bound.
    NetEndpoint Bound() const { return m_bound; }

    /// The next connection waiting to be taken, if any; it carries the same
    /// link options as the tool's own connections.
    std::optional<TcpStream> Accept();

private:
    SocketHandle m_socket = NoSocket;
    NetEndpoint m_bound;
};

enum class SocketWait {
    Readable, ///< bytes, a connection or the peer's closing wait
    Stopped,  ///< the stop descriptor was signalled
    TimedOut,
    Failed,
};

/// Waits until the socket is readable, stopFd is signalled or the time-out
/// passes (none: for ever).
SocketWait WaitReadable(SocketHandle socket, int stopFd,
                        std::optional<std::chrono::microseconds> timeout);
