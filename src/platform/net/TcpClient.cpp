#include "platform/net/TcpClient.h"

#include "platform/net/SocketCalls.h"

#include <QSocketNotifier>

namespace {

// A notifier may be let go from inside its own signal; it is disabled at
// once and deleted once the event loop is back.
void retire(std::unique_ptr<QSocketNotifier>& notifier) {
    if (notifier) {
        notifier->setEnabled(false);
        notifier.release()->deleteLater();
    }
}

} // namespace

TcpClient::TcpClient(QObject* parent) : QObject(parent) {
    m_connectLook.setInterval(ConnectLookInterval);
    connect(&m_connectLook, &QTimer::timeout, this, [this] {
        if (SocketCalls::ConnectEnded(m_socket)) {
            connectEnded();
        }
    });
    m_connectLimit.setSingleShot(true);
    connect(&m_connectLimit, &QTimer::timeout, this, [this] {
        fail(NetError{SocketCalls::TimedOutCode(),
                      tr("no answer within %1 s").arg(ConnectLimit.count())});
    });
}

TcpClient::~TcpClient() {
    Close();
}

NetResult TcpClient::Connect(const NetAddress& address) {
    Close();
    NetResult error;
    m_socket = SocketCalls::OpenStream(address.family, error);
    if (error) {
        return error;
    }
    SocketCalls::ApplyLinkOptions(m_socket);
    if (const int code = SocketCalls::StartConnect(m_socket, address); code != 0) {
        const NetError failure = NetErrorOf(code);
        Close();
        return failure;
    }
    // Connected or not, the socket turns writable when the connect has ended.
    m_state = State::Connecting;
    m_writable = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Write);
    connect(m_writable.get(), &QSocketNotifier::activated, this, &TcpClient::connectEnded);
    m_connectLimit.start(ConnectLimit);
    m_connectLook.start();
    return std::nullopt;
}

void TcpClient::connectEnded() {
    m_connectLimit.stop();
    m_connectLook.stop();
    retire(m_writable);
    if (const int error = SocketCalls::PendingError(m_socket); error != 0) {
        fail(NetErrorOf(error));
        return;
    }
    m_state = State::Connected;
    m_readable = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
    connect(m_readable.get(), &QSocketNotifier::activated, this, [this] {
        if (m_handlers.readable) {
            m_handlers.readable();
        }
    });
    if (m_handlers.connected) {
        m_handlers.connected();
    }
}

void TcpClient::fail(const NetError& error) {
    Close();
    if (m_handlers.failed) {
        m_handlers.failed(error);
    }
}

void TcpClient::Close() {
    m_connectLimit.stop();
    m_connectLook.stop();
    retire(m_readable);
    retire(m_writable);
    SocketCalls::Close(m_socket);
    m_socket = NoSocket;
    m_state = State::Closed;
}

NetResult TcpClient::Send(const std::uint8_t* bytes, std::size_t count) {
    if (m_state != State::Connected) {
        return NetErrorOf(SocketCalls::NotConnectedCode());
    }
    const SocketCalls::Transfer sent = SocketCalls::Send(m_socket, bytes, count);
    if (sent.error != 0) {
        return NetErrorOf(sent.error);
    }
    if (sent.count < count) {
        return NetError{SocketCalls::WouldBlockCode(), tr("the peer takes no more data")};
    }
    return std::nullopt;
}

TcpClient::Received TcpClient::Receive(std::uint8_t* buffer, std::size_t size) {
    Received received;
    if (m_state != State::Connected) {
        received.error = NetErrorOf(SocketCalls::NotConnectedCode());
        return received;
    }
    const SocketCalls::Transfer taken = SocketCalls::Receive(m_socket, buffer, size);
    if (taken.error == 0) {
        received.count = taken.count;
        received.closed = taken.count == 0 && size > 0;
    } else if (taken.error != SocketCalls::WouldBlockCode()) {
        received.error = NetErrorOf(taken.error);
    }
    return received;
}

std::size_t TcpClient::Waiting() const {
    return m_state == State::Connected ? SocketCalls::Waiting(m_socket) : 0;
}
