#pragma once
// One outgoing TCP connection, made and watched from the main thread without
// ever blocking it: the connect runs in the background and ends in the
// connected or the failed handler, and the readable handler says when bytes
// wait. Closing is immediate, also in the middle of a connect.
//
//     TcpClient client;
//     client.SetHandlers({.connected = ..., .readable = ..., .failed = ...});
//     client.Connect(address);            // later: connected() or failed(error)
//     client.Send(bytes, count);
//     client.Receive(buffer, size);       // in readable()
//
// Every connection goes without Nagle's delay and gives up a peer that
// vanished without closing within a few seconds (SocketCalls).

#include "platform/net/NetAddress.h"
#include "platform/net/NetError.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

class TcpClient : public QObject {
    Q_OBJECT
public:
    /// The longest a connect may take; a device server on the bench answers
    /// within milliseconds, and the line tries again a second later.
    static constexpr std::chrono::seconds ConnectLimit{3};
    /// How often a connect under way is looked at besides its notifier.
    static constexpr std::chrono::milliseconds ConnectLookInterval{50};

    enum class State { Closed, Connecting, Connected };

    struct Handlers {
        std::function<void()> connected;
        /// Bytes wait (or the peer closed): Receive says which.
        std::function<void()> readable;
        /// The connect failed; the client is closed.
        std::function<void(const NetError& error)> failed;
    };

    /// What a receive took.
    struct Received {
        std::size_t count = 0;
        /// The peer closed the connection (no byte came with it).
        bool closed = false;
        NetResult error;
    };

    explicit TcpClient(QObject* parent = nullptr);
    ~TcpClient() override;
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    void SetHandlers(Handlers handlers) { m_handlers = std::move(handlers); }

    /// Starts connecting, after closing what was open. A failure known at
    /// once is returned; any other ending comes to a handler, later.
    NetResult Connect(const NetAddress& address);
    void Close();
    State CurrentState() const { return m_state; }

    /// Sends all bytes at once or fails: a connection that has no room for a
    /// request has a peer that stopped reading.
    NetResult Send(const std::uint8_t* bytes, std::size_t count);
    /// Takes what is waiting, up to size bytes; nothing waiting is a count of 0.
    Received Receive(std::uint8_t* buffer, std::size_t size);
    /// Bytes waiting to be received.
    std::size_t Waiting() const;

private:
    void connectEnded();
    void fail(const NetError& error);

    Handlers m_handlers;
    SocketHandle m_socket = NoSocket;
    State m_state = State::Closed;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QSocketNotifier> m_writable;
    QTimer m_connectLimit;
    // Wine never tells the notifier of a connect that failed; a look now
    // and then catches it there.
    QTimer m_connectLook;
};
