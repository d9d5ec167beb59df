#include "net/NetworkLine.h"

#include "net/ModbusTcpFraming.h"
#include "net/RtuOverTcpFraming.h"
#include "poll/LineKeeper.h"

#include <algorithm>
#include <array>

namespace {

// What one wake-up takes from the connection at most; a peer that floods it
// is read on at the next turn of the event loop, so the window stays alive.
constexpr std::size_t ReadChunk = 1024;
constexpr int ChunksPerWakeUp = 16;
// Reply bytes the engine has not taken (none is listening, say) are let go
// beyond this, so that they cannot pile up.
constexpr std::size_t LongestUnread = 4096;

std::unique_ptr<LineFraming> framingFor(NetworkFraming framing) {
    if (framing == NetworkFraming::RtuOverTcp) {
        return std::make_unique<RtuOverTcpFraming>();
    }
    return std::make_unique<ModbusTcpFraming>();
}

} // namespace

QString FramingName(NetworkFraming framing) {
    return framing == NetworkFraming::RtuOverTcp ? QStringLiteral("RTU over TCP")
                                                 : QStringLiteral("Modbus TCP");
}

NetworkLine::NetworkLine(const NetworkLineSettings& settings)
    : m_settings(settings), m_rate(settings.PacingRate()), m_framing(framingFor(settings.framing)),
      m_framingKind(settings.framing) {
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, [this] { attempt(); });
    m_client.SetHandlers({[this] { connected(); }, [this] { readable(); },
                          [this](const NetError& error) {
                              m_failure = tr("Cannot connect to %1: %2.")
                                              .arg(m_addresses[m_nextAddress - 1].text, error.text);
                              connectNext();
                          }});
}

NetworkLine::~NetworkLine() {
    static_cast<void>(Close());
}

void NetworkLine::SetSettings(const NetworkLineSettings& settings) {
    m_settings = settings;
    if (!m_open) {
        applySettings();
    }
}

void NetworkLine::applySettings() {
    // The framing keeps the transaction ids; it is only replaced by another kind.
    if (m_settings.framing != m_framingKind) {
        m_framing = framingFor(m_settings.framing);
        m_framingKind = m_settings.framing;
    }
    m_rate = m_settings.PacingRate();
}

PortResult NetworkLine::Open() {
    if (m_open) {
        return std::nullopt;
    }
    applySettings();
    m_open = true;
    m_lost = false;
    m_reason.clear();
    attempt();
    return std::nullopt;
}

PortResult NetworkLine::Close() {
    // Nothing here waits: a lookup under way is left to finish on its own,
    // a connect under way is dropped with its socket.
    m_open = false;
    m_phase = Phase::Idle;
    m_lost = false;
    m_retry.stop();
    m_resolver.Cancel();
    m_client.Close();
    m_held.clear();
    m_received.clear();
    m_readOffset = 0;
    return std::nullopt;
}

QString NetworkLine::Port() const {
    return EndpointText(m_settings.endpoint) + QStringLiteral(" (") +
           FramingName(m_settings.framing) + u')';
}

void NetworkLine::attempt() {
    m_attemptStarted = Clock::now();
    if (m_settings.endpoint.host.isEmpty()) {
        // An empty host would be taken for this machine's every address.
        attemptFailed(tr("The network line has no host."));
        return;
    }
    m_phase = Phase::Resolving;
    // Each attempt asks again: a device server given a new address by DHCP
    // is found under its name.
    m_resolver.Resolve(m_settings.endpoint, [this](const Resolution& result) { resolved(result); });
}

void NetworkLine::resolved(const Resolution& result) {
    if (result.error || result.addresses.empty()) {
        attemptFailed(tr("Cannot find the host %1: %2.")
                          .arg(m_settings.endpoint.host,
                               result.error ? result.error->text : tr("it has no address")));
        return;
    }
    m_addresses = result.addresses;
    m_nextAddress = 0;
    connectNext();
}

void NetworkLine::connectNext() {
    // A name may lead to several addresses (localhost to ::1 and 127.0.0.1);
    // the server may listen on only one of them.
    while (m_nextAddress < m_addresses.size()) {
        const NetAddress& address = m_addresses[m_nextAddress++];
        m_phase = Phase::Connecting;
        const NetResult failure = m_client.Connect(address);
        if (!failure) {
            return;
        }
        m_failure = tr("Cannot connect to %1: %2.").arg(address.text, failure->text);
    }
    attemptFailed(m_failure);
}

void NetworkLine::connected() {
    m_phase = Phase::Up;
    m_framing->Reset();
    m_received.clear();
    m_readOffset = 0;
    m_reason.clear();
    if (m_lost) {
        m_lost = false;
        tell(LineChange::Kind::Back, LineKeeper::BackText(Clock::now() - m_lostAt));
    }
    sendHeld();
}

void NetworkLine::attemptFailed(const QString& reason) {
    m_phase = Phase::Waiting;
    // The request that waited for the first connection is given up; the
    // engine counts it as missed at its next tick.
    m_held.clear();
    m_reason = LineKeeper::LostText(reason);
    if (!m_lost) {
        m_lost = true;
        m_lostAt = Clock::now();
        tell(LineChange::Kind::Lost, m_reason);
    }
    // Once a second at most, counted from the last attempt's start: a
    // connection that lasted longer is tried again at once.
    const auto next = m_attemptStarted + RetryInterval;
    m_retry.start(std::chrono::ceil<std::chrono::milliseconds>(
        std::max(next - Clock::now(), Clock::duration::zero())));
}

void NetworkLine::broken(const QString& reason) {
    m_client.Close();
    m_received.clear();
    m_readOffset = 0;
    attemptFailed(reason);
}

PortResult NetworkLine::Write(const std::uint8_t* bytes, int count) {
    if (!m_open) {
        return PortError{PortError::Kind::Refused, tr("The network line is not open.")};
    }
    const auto size = static_cast<std::size_t>(count);
    if (m_phase == Phase::Up) {
        if (m_framing->DropsLeftovers()) {
            dropLeftovers();
            if (m_phase != Phase::Up) {
                return downError();
            }
        }
        const std::vector<std::uint8_t> wire = m_framing->Encode(bytes, size);
        if (const NetResult failure = m_client.Send(wire.data(), wire.size())) {
            broken(tr("The connection to %1 failed: %2.")
                       .arg(EndpointText(m_settings.endpoint), failure->text));
            return downError();
        }
        return std::nullopt;
    }
    if (!m_lost && m_phase != Phase::Waiting) {
        // The first connection is still being made.
        m_held.assign(bytes, bytes + size);
        return std::nullopt;
    }
    return downError();
}

PortError NetworkLine::downError() const {
    return PortError{PortError::Kind::Refused, m_reason};
}

void NetworkLine::sendHeld() {
    if (m_held.empty()) {
        return;
    }
    const std::vector<std::uint8_t> held = std::move(m_held);
    m_held.clear();
    const std::vector<std::uint8_t> wire = m_framing->Encode(held.data(), held.size());
    if (const NetResult failure = m_client.Send(wire.data(), wire.size())) {
        broken(tr("The connection to %1 failed: %2.")
                   .arg(EndpointText(m_settings.endpoint), failure->text));
    }
}

PortRead NetworkLine::Read(std::uint8_t* buffer, int count) {
    // Bytes already in the connection but not yet announced are taken too, so
    // that a reader who looks before the announcement finds the reply.
    if (m_received.size() - m_readOffset < static_cast<std::size_t>(count) &&
        m_client.Waiting() > 0) {
        pump();
    }
    const std::size_t taken =
        std::min(m_received.size() - m_readOffset, static_cast<std::size_t>(std::max(count, 0)));
    std::copy_n(m_received.begin() + static_cast<std::ptrdiff_t>(m_readOffset), taken, buffer);
    m_readOffset += taken;
    if (m_readOffset == m_received.size()) {
        m_received.clear();
        m_readOffset = 0;
    }
    return PortRead{static_cast<int>(taken), std::nullopt};
}

int NetworkLine::PendingInput() const {
    return static_cast<int>(m_received.size() - m_readOffset + m_client.Waiting());
}

PortResult NetworkLine::SetLineRate(TBaudRate rate) {
    m_rate = rate;
    return std::nullopt;
}

void NetworkLine::readable() {
    if (!pump()) {
        return;
    }
    const std::size_t unread = m_received.size() - m_readOffset;
    if (unread > 0 && m_onRxChar) {
        m_onRxChar(static_cast<int>(unread));
    }
}

bool NetworkLine::pump() {
    std::array<std::uint8_t, ReadChunk> chunk{};
    for (int round = 0; round < ChunksPerWakeUp && m_phase == Phase::Up; ++round) {
        const TcpClient::Received received = m_client.Receive(chunk.data(), chunk.size());
        if (received.error || received.closed) {
            broken(received.error
                       ? tr("The connection to %1 failed: %2.")
                             .arg(EndpointText(m_settings.endpoint), received.error->text)
                       : tr("%1 closed the connection.").arg(EndpointText(m_settings.endpoint)));
            return false;
        }
        if (received.count == 0) {
            break;
        }
        m_lastRx = Clock::now();
        if (const auto garbage = m_framing->Take(chunk.data(), received.count, *this)) {
            broken(*garbage);
            return false;
        }
        // Less than asked for: the connection holds nothing more just now.
        // Asking again would cost a call that finds nothing; what comes
        // later wakes the notifier again.
        if (received.count < chunk.size()) {
            break;
        }
    }
    return m_phase == Phase::Up;
}

void NetworkLine::dropLeftovers() {
    // Whatever the engine has not taken, and whatever waits in the
    // connection, belongs to an earlier exchange.
    if (m_client.Waiting() > 0) {
        m_framing->Reset();
        pump();
    }
    if (m_received.size() > m_readOffset) {
        FrameDropped(m_received.data() + m_readOffset, m_received.size() - m_readOffset,
                     TrafficVerdict::Unexpected);
    }
    m_received.clear();
    m_readOffset = 0;
}

void NetworkLine::ReplyBytes(const std::uint8_t* bytes, std::size_t count) {
    if (m_received.size() + count > LongestUnread) {
        m_received.clear();
        m_readOffset = 0;
    }
    m_received.insert(m_received.end(), bytes, bytes + count);
}

void NetworkLine::FrameDropped(const std::uint8_t* bytes, std::size_t count,
                               TrafficVerdict verdict) {
    if (m_onDroppedFrame) {
        m_onDroppedFrame(bytes, count, verdict, m_lastRx);
    }
}

void NetworkLine::SetOnRxChar(std::function<void(int count)> handler) {
    m_onRxChar = std::move(handler);
}

void NetworkLine::SetOnLineChange(std::function<void(const LineChange& change)> handler) {
    m_onLineChange = std::move(handler);
}

void NetworkLine::SetOnDroppedFrame(DroppedFrameHandler handler) {
    m_onDroppedFrame = std::move(handler);
}

std::vector<std::uint8_t> NetworkLine::WireForm(const std::uint8_t* frame, std::size_t count,
                                                bool sent) const {
    return sent ? m_framing->WireRequest(frame, count) : m_framing->WireReply(frame, count);
}

void NetworkLine::tell(LineChange::Kind kind, const QString& text) {
    if (m_onLineChange) {
        m_onLineChange({kind, text});
    }
}
