#include "platform/net/TcpClient.h"

#include "platform/net/SocketCalls.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/ioctl.h>
#include <sys/socket.h>

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
    m_connectLimit.setSingleShot(true);
    connect(&m_connectLimit, &QTimer::timeout, this, [this] {
        fail(NetError{ETIMEDOUT, tr("no answer within %1 s").arg(ConnectLimit.count())});
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
    const int result = ::connect(static_cast<int>(m_socket),
                                 reinterpret_cast<const sockaddr*>(address.bytes.data()),
                                 static_cast<socklen_t>(address.length));
    if (result != 0 && errno != EINPROGRESS) {
        const NetError failure = NetErrorOf(errno);
        Close();
        return failure;
    }
    // Connected or not, the socket turns writable when the connect has ended.
    m_state = State::Connecting;
    m_writable = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Write);
    connect(m_writable.get(), &QSocketNotifier::activated, this, &TcpClient::connectEnded);
    m_connectLimit.start(ConnectLimit);
    return std::nullopt;
}

void TcpClient::connectEnded() {
    m_connectLimit.stop();
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
    retire(m_readable);
    retire(m_writable);
    SocketCalls::Close(m_socket);
    m_socket = NoSocket;
    m_state = State::Closed;
}

NetResult TcpClient::Send(const std::uint8_t* bytes, std::size_t count) {
    if (m_state != State::Connected) {
        return NetErrorOf(ENOTCONN);
    }
    // No signal for a peer that has gone: the error says it.
    const ssize_t sent = ::send(static_cast<int>(m_socket), bytes, count, MSG_NOSIGNAL);
    if (sent < 0) {
        return NetErrorOf(errno);
    }
    if (static_cast<std::size_t>(sent) < count) {
        return NetError{EAGAIN, tr("the peer takes no more data")};
    }
    return std::nullopt;
}

TcpClient::Received TcpClient::Receive(std::uint8_t* buffer, std::size_t size) {
    Received received;
    if (m_state != State::Connected) {
        received.error = NetErrorOf(ENOTCONN);
        return received;
    }
    for (;;) {
        const ssize_t count = ::recv(static_cast<int>(m_socket), buffer, size, 0);
        if (count > 0) {
            received.count = static_cast<std::size_t>(count);
        } else if (count == 0) {
            received.closed = size > 0;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            received.error = NetErrorOf(errno);
        }
        return received;
    }
}

std::size_t TcpClient::Waiting() const {
    int count = 0;
    if (m_state != State::Connected || ::ioctl(static_cast<int>(m_socket), FIONREAD, &count) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}
