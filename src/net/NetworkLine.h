#pragma once
// A network line: the engine's port over a TCP connection to a Modbus TCP
// device or gateway, or to a serial device server passing RTU frames
// through (the framing says which).
//
//     NetworkLineSettings settings{NetworkFraming::ModbusTcp, {"192.0.2.7", 502}, br9600};
//     NetworkLine line(settings);
//     PollSession session(std::make_unique<NetworkLine>(settings), view);
//
// Opening never waits: the host is looked up off the main thread and the
// connection made in the background. A request the engine sends before the
// first connection is up waits for it (the reply time-out covers a bench
// network's connect); once the connection is up it goes out at once.
//
// The line keeps itself: a connection that ends (the peer closes or resets
// it, it goes silent past the dead-peer limit, it sends what no frame can
// be) or cannot be made is told as lost, with the same words and record as
// a serial adapter pulled out, and tried again every second, the first time
// at once if the connection had lasted that long. Meanwhile every request
// fails with the reason, and the engine counts it as missed. The line comes
// back on its own; Close ends all of it at once. Its failures are Refused
// rather than LineLost, so that a LineKeeper around it leaves the trying
// again to the line, which knows when a connection is made.

#include "net/LineFraming.h"
#include "net/NetworkLineSettings.h"
#include "platform/net/HostResolver.h"
#include "platform/net/TcpClient.h"
#include "poll/PollPort.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <memory>
#include <vector>

class NetworkLine : public PollPort, private FramingSink {
    Q_DECLARE_TR_FUNCTIONS(NetworkLine)

public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds RetryInterval{1000};

    explicit NetworkLine(const NetworkLineSettings& settings);
    ~NetworkLine() override;
    NetworkLine(const NetworkLine&) = delete;
    NetworkLine& operator=(const NetworkLine&) = delete;

    /// Takes effect now on a closed line, at the next opening on an open one.
    void SetSettings(const NetworkLineSettings& settings);
    const NetworkLineSettings& Settings() const { return m_settings; }
    /// Whether the connection is up now.
    bool Up() const { return m_phase == Phase::Up; }

    bool Connected() const override { return m_open; }
    PortResult Open() override;
    PortResult Close() override;
    /// "host:port (Modbus TCP)".
    QString Port() const override;
    TBaudRate BaudRate() const override { return m_rate; }
    PortResult Write(const std::uint8_t* bytes, int count) override;
    PortRead Read(std::uint8_t* buffer, int count) override;
    int PendingInput() const override;
    /// The rate behind the gateway, for the pause after a reply.
    PortResult SetLineRate(TBaudRate rate) override;
    void SetOnRxChar(std::function<void(int count)> handler) override;
    Clock::time_point LastRxTime() const override { return m_lastRx; }
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override;
    std::vector<std::uint8_t> WireForm(const std::uint8_t* frame, std::size_t count,
                                       bool sent) const override;
    void SetOnDroppedFrame(DroppedFrameHandler handler) override;

private:
    enum class Phase { Idle, Resolving, Connecting, Up, Waiting };

    void applySettings();
    void attempt();
    void resolved(const Resolution& result);
    void connectNext();
    void connected();
    void attemptFailed(const QString& reason);
    void broken(const QString& reason);
    void readable();
    bool pump();
    void dropLeftovers();
    void sendHeld();
    void tell(LineChange::Kind kind, const QString& text);
    PortError downError() const;

    void ReplyBytes(const std::uint8_t* bytes, std::size_t count) override;
    void FrameDropped(const std::uint8_t* bytes, std::size_t count,
                      TrafficVerdict verdict) override;

    NetworkLineSettings m_settings;
    TBaudRate m_rate;
    std::unique_ptr<LineFraming> m_framing;
    NetworkFraming m_framingKind;
    HostResolver m_resolver;
    TcpClient m_client;
    QTimer m_retry;

    bool m_open = false;
    Phase m_phase = Phase::Idle;
    bool m_lost = false; // told as lost, not back yet
    QString m_reason;    // what requests are refused with while down
    std::vector<NetAddress> m_addresses;
    std::size_t m_nextAddress = 0;
    QString m_failure;                    // why the last address could not be reached
    std::vector<std::uint8_t> m_held;     // a request waiting for the first connection
    std::vector<std::uint8_t> m_received; // reply bytes for the engine
    std::size_t m_readOffset = 0;
    Clock::time_point m_lastRx;
    Clock::time_point m_attemptStarted;
    Clock::time_point m_lostAt;

    std::function<void(int count)> m_onRxChar;
    std::function<void(const LineChange& change)> m_onLineChange;
    DroppedFrameHandler m_onDroppedFrame;
};
