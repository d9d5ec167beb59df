// The Winsock twin of the network layer: a connection to a port where nobody
// listens fails in the words Linux uses, a client and a server carry bytes
// both ways and see each other go, a server's wait ends for a connection or
// its stop event, and --simulate's module is reached over TCP because the
// system has no pseudo-terminals.

#include "platform/net/HostResolver.h"
#include "platform/net/TcpClient.h"
#include "platform/net/TcpServer.h"
#include "platform/system/EventFd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

NetAddress loopback(std::uint16_t port) {
    const Resolution found = HostResolver::ResolveNow({QStringLiteral("127.0.0.1"), port});
    EXPECT_FALSE(found.error.has_value());
    return found.addresses.empty() ? NetAddress{} : found.addresses.front();
}

// Runs the event loop until done says so or the time is up.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

TEST(Winsock, AConnectWhereNobodyListensIsRefusedInLinuxWords) {
    // A port that was just free: bound, then let go.
    std::uint16_t port = 0;
    {
        TcpListener listener;
        ASSERT_FALSE(listener.Listen({QStringLiteral("127.0.0.1"), 0}).has_value());
        port = listener.Bound().port;
    }
    TcpClient client;
    std::optional<NetError> failure;
    client.SetHandlers({.connected = {}, .readable = {}, .failed = [&](const NetError& error) {
                            failure = error;
                        }});
    if (const NetResult early = client.Connect(loopback(port))) {
        failure = early;
    }
    ASSERT_TRUE(spinUntil([&] { return failure.has_value(); }));
    EXPECT_EQ(failure->text, QStringLiteral("Connection refused"));
    EXPECT_EQ(client.CurrentState(), TcpClient::State::Closed);
}

TEST(Winsock, ClientAndServerCarryBytesBothWaysAndSeeEachOtherGo) {
    TcpListener listener;
    ASSERT_FALSE(listener.Listen({QStringLiteral("127.0.0.1"), 0}).has_value());
    EventFd stop;
    ASSERT_EQ(stop.Open(), 0);
    TcpClient client;
    bool connected = false;
    client.SetHandlers({.connected = [&] { connected = true; }, .readable = {}, .failed = {}});
    ASSERT_FALSE(client.Connect(loopback(listener.Bound().port)).has_value());
    ASSERT_TRUE(spinUntil([&] { return connected; }));
    ASSERT_EQ(WaitReadable(listener.Handle(), stop.Fd(), 5s), SocketWait::Readable);
    std::optional<TcpStream> stream = listener.Accept();
    ASSERT_TRUE(stream.has_value());

    const std::uint8_t request[] = {1, 3, 0, 0, 0, 20, 0x45, 0xC5};
    ASSERT_FALSE(client.Send(request, sizeof request).has_value());
    ASSERT_EQ(WaitReadable(stream->Handle(), stop.Fd(), 5s), SocketWait::Readable);
    std::vector<std::uint8_t> got(64);
    const std::optional<std::size_t> taken = stream->Receive(got);
    ASSERT_EQ(taken, sizeof request);
    EXPECT_TRUE(std::equal(request, request + sizeof request, got.begin()));
    // Nothing more waits: a count of 0, not the end of the stream.
    EXPECT_EQ(stream->Receive(got), std::optional<std::size_t>(0));

    const std::vector<std::uint8_t> reply(45, 0x5A);
    EXPECT_EQ(stream->SendAll(reply, stop.Fd(), 1s), reply.size());
    ASSERT_TRUE(spinUntil([&] { return client.Waiting() == reply.size(); }));
    std::vector<std::uint8_t> back(64);
    const TcpClient::Received received = client.Receive(back.data(), back.size());
    EXPECT_EQ(received.count, reply.size());
    EXPECT_FALSE(received.closed);

    // The server goes: the client reads the end of the stream.
    stream->Close();
    TcpClient::Received end;
    ASSERT_TRUE(spinUntil([&] {
        end = client.Receive(back.data(), back.size());
        return end.closed || end.error.has_value();
    }));
    EXPECT_TRUE(end.closed);
}

TEST(Winsock, AServersWaitEndsForItsStopEventOrItsTimeout) {
    TcpListener listener;
    ASSERT_FALSE(listener.Listen({QStringLiteral("127.0.0.1"), 0}).has_value());
    EventFd stop;
    ASSERT_EQ(stop.Open(), 0);
    EXPECT_EQ(WaitReadable(listener.Handle(), stop.Fd(), 50ms), SocketWait::TimedOut);
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.Signal();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitReadable(listener.Handle(), stop.Fd(), std::nullopt), SocketWait::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    stopper.join();
}

TEST(Winsock, AHostNobodyKnowsIsNotFound) {
    const Resolution found =
        HostResolver::ResolveNow({QStringLiteral("no-such-host.invalid"), ModbusTcpPort});
    ASSERT_TRUE(found.error.has_value());
    EXPECT_TRUE(found.addresses.empty());
    // Without a name service the lookup cannot even be asked.
    EXPECT_TRUE(found.error->text == QStringLiteral("Name or service not known") ||
                found.error->text == QStringLiteral("Temporary failure in name resolution"))
        << found.error->text.toStdString();
}

// --simulate on a system without pseudo-terminals: the module answers as RTU
// over TCP on a loopback port.
} // namespace
