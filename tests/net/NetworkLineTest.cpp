// The network line never holds up the thread that polls: not while it
// opens, not while it is closed in the middle of a connect.

#include "net/NetworkLine.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A listener that takes nobody in: once its queue is full, the system
// drops further connection requests, and a connect to it hangs.
class CloggedListener {
public:
    CloggedListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 0);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
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

} // namespace

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
