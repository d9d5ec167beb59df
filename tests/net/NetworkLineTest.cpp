// The network line never holds up the thread that polls: not while it
// opens, not while it is closed in the middle of a connect.

#include "net/NetworkLine.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// Binds the socket to a free port of the loopback interface and listens
// there with the queue given; returns the port.
std::uint16_t listenOnLoopback(int listener, int queue) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, queue);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A listener that takes nobody in: once its queue is full, the system
// drops further connection requests, and a connect to it hangs.
class CloggedListener {
public:
    CloggedListener() {
        port = listenOnLoopback(m_listener, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~CloggedListener() {
        ::close(m_filler);
        ::close(m_listener);
    }
    std::uint16_t port = 0;

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
};

// A listener on the loopback interface that takes one client.
class OneClientServer {
public:
    OneClientServer() { port = listenOnLoopback(m_listener, 1); }
    ~OneClientServer() {
        ::close(m_client);
        ::close(m_listener);
    }
    /// Takes the client if it has come, without waiting.
    bool accept() {
        if (m_client < 0) {
            m_client = ::accept(m_listener, nullptr, nullptr);
        }
        return m_client >= 0;
    }
    void send(const std::vector<std::uint8_t>& bytes) {
        ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    std::vector<std::uint8_t> receive() {
        std::vector<std::uint8_t> bytes(256);
        pollfd ready{m_client, POLLIN, 0};
        const ssize_t got =
            ::poll(&ready, 1, 2000) == 1 ? ::recv(m_client, bytes.data(), 256, 0) : 0;
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return bytes;
    }
    std::uint16_t port = 0;

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    int m_client = -1;
};

} // namespace

// Nothing in an RTU frame says which request it answers: bytes that wait in
// the connection when a request goes out are dropped (and recorded) rather
// than taken for its reply.
TEST(NetworkLine, RtuOverTcpDropsWhatIsLeftOverBeforeEachRequest) {
    OneClientServer server;
    NetworkLine line(
        NetworkLineSettings{NetworkFraming::RtuOverTcp, {"127.0.0.1", server.port}, br9600});
    std::vector<std::uint8_t> dropped;
    line.SetOnDroppedFrame([&](const std::uint8_t* bytes, std::size_t count, TrafficVerdict verdict,
                               std::chrono::steady_clock::time_point) {
        EXPECT_EQ(verdict, TrafficVerdict::Unexpected);
        dropped.insert(dropped.end(), bytes, bytes + count);
    });
    ASSERT_EQ(line.Open(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accept() && line.Up(); }, 5000));
    // A reply that came too late, while nobody looks at the connection.
    const std::vector<std::uint8_t> late = {1, 6, 0, 3, 0x04, 0xD2, 0x39, 0x27};
    server.send(late);
    QTest::qSleep(100);
    const std::uint8_t request[] = {1, 3, 0, 0, 0, 20, 0x45, 0xC5};
    ASSERT_EQ(line.Write(request, sizeof request), std::nullopt);
    EXPECT_EQ(dropped, late);
    std::uint8_t buffer[16];
    EXPECT_EQ(line.Read(buffer, sizeof buffer).count, 0);
    EXPECT_EQ(server.receive(), std::vector<std::uint8_t>(request, request + sizeof request));
}

TEST(NetworkLine, NeitherOpeningNorClosingWaitsOnAConnect) {
    CloggedListener listener;
    NetworkLine line(
        NetworkLineSettings{NetworkFraming::ModbusTcp, {"127.0.0.1", listener.port}, {}});
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(line.Open(), std::nullopt);
    // A request sent meanwhile waits for the connection.
    const std::uint8_t request[] = {1, 3, 0, 0, 0, 20, 0x45, 0xC5};
    EXPECT_EQ(line.Write(request, sizeof request), std::nullopt);
    EXPECT_LT(clock.elapsed(), 1000);
    QTest::qWait(300);
    EXPECT_TRUE(line.Connected());
    EXPECT_FALSE(line.Up()) << "the connect is under way";
    // The connect would take up to TcpClient::ConnectLimit; closing takes nothing.
    clock.restart();
    EXPECT_EQ(line.Close(), std::nullopt);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(line.Connected());
}
