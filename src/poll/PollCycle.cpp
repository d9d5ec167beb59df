#include "poll/PollCycle.h"

#include "poll/PollView.h"

#include <QCoreApplication>
#include <algorithm>
#include <exception>

using namespace std::chrono_literals;

namespace {

// The bytes that answer a request in full: its reply, behind the request's
// own echo on a line that echoes.
int ExpectedReplySize(const TTxFrame& request, bool lineEchoes) {
    const std::size_t reply = request[1] == FunctionReadHolding ? ReadReplySize : WriteReplySize;
    return static_cast<int>(reply + (lineEchoes ? TxFrameSize : 0));
}

} // namespace

QString OpenFailureText() {
    return QCoreApplication::translate("PollCycle", OpenFailureSource);
}

std::optional<std::chrono::milliseconds> PauseAfterReply(TBaudRate baudRate) {
    // Roughly the time of 24 characters at the rate, so a prompt slave is polled
    // back to back without crowding it.
    switch (baudRate) {
    case br2400:
        return 100ms;
    case br4800:
        return 50ms;
    case br9600:
        return 25ms;
    case br19200:
        return 12ms;
    case br38400:
        return 6ms;
    case br57600:
        return 4ms;
    case br115200:
        return 2ms;
    default:
        return std::nullopt;
    }
}

QString TrafficLine(const QString& prefix, const TimeOfDay& time, const std::uint8_t* bytes,
                    int count) {
    // Laid out in one string of its final length: "Tx-ss:zzz>" and the bytes.
    const QString hex = TrafficBytesText(bytes, static_cast<std::size_t>(std::max(count, 0)));
    QString line(prefix.size() + 7 + (hex.isEmpty() ? 0 : 1 + hex.size()), Qt::Uninitialized);
    QChar* out = std::copy(prefix.cbegin(), prefix.cend(), line.data());
    const auto digit = [](int value) { return QChar(u'0' + value); };
    *out++ = digit(time.second / 10 % 10);
    *out++ = digit(time.second % 10);
    *out++ = u':';
    *out++ = digit(time.millisecond / 100 % 10);
    *out++ = digit(time.millisecond / 10 % 10);
    *out++ = digit(time.millisecond % 10);
    *out++ = u'>';
    if (!hex.isEmpty()) {
        *out++ = u' ';
        std::copy(hex.cbegin(), hex.cend(), out);
    }
    return line;
}

class PollCycle::FrameScope {
public:
    FrameScope(PollView& view, PollView::Frame frame) : m_view(view) { m_view.BeginFrame(frame); }
    ~FrameScope() { m_view.EndFrame(); }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    PollView& m_view;
};

PollCycle::PollCycle(PollPort& port, PollView& view, ClockFunction clock)
    : m_port(port), m_view(view), m_clock(std::move(clock)) {
    m_timer.SetEnabled(false);
    m_timer.SetInterval(static_cast<int>(StartInterval.count()));
    m_timer.SetOnTimer([this] { Tick(); });
    m_port.SetOnRxChar([this](int count) { BytesArrived(count); });
    m_port.SetOnLineChange([this](const LineChange& change) { lineChanged(change); });
    // A line that wraps the frames (Modbus TCP) has them recorded as they went
    // over it, and tells the replies it dropped itself.
    m_judge.SetWireForm([this](const std::uint8_t* bytes, std::size_t count) {
        return m_port.WireForm(bytes, count, false);
    });
    m_port.SetOnDroppedFrame([this](const std::uint8_t* bytes, std::size_t count,
                                    TrafficVerdict verdict, TrafficJudge::Clock::time_point time) {
        m_judge.Dropped(bytes, count, verdict, time);
    });
}

PollCycle::~PollCycle() {
    m_port.SetOnRxChar(nullptr);
    m_port.SetOnLineChange(nullptr);
    m_port.SetOnDroppedFrame(nullptr);
}

bool PollCycle::Start() {
    if (m_port.Connected()) {
        return true;
    }
    if (const PortResult failure = m_port.Open()) {
        m_view.ShowOpenFailure(*failure);
        return false;
    }
    m_replyState = ReplyState::Started;
    m_view.ClearMonitor();
    m_writeMode = WriteMode::Read;
    setInterval(StartInterval);
    m_timer.SetEnabled(true);
    m_polling = true;
    m_rxCount = 0;
    m_echo.Reset();
    m_writeFailure.reset();
    m_txCount = 0;
    m_erCount = 0;
    showCounters();
    m_view.ShowPolledPort(m_port.Port());
    m_judge.Started();
    return true;
}

void PollCycle::Stop() {
    m_polling = false;
}

void PollCycle::Tick() {
    // A request changes a counter, which waits for the reply's frame.
    const FrameScope frame(m_view, PollView::Frame::Request);
    m_judge.TickStarted();
    if (m_replyState == ReplyState::None) {
        countMiss();
    }
    m_replyState = ReplyState::None;
    if (!m_polling) {
        stopLoop();
        return;
    }
    sendRequest();
}

void PollCycle::countMiss() {
    ++m_erCount;
    showCounters();
    m_judge.MissCounted(static_cast<std::size_t>(m_rxCount));
}

void PollCycle::stopLoop() {
    if (m_port.Close()) {
        // The port refused to close and is still open, so Start would find it
        // open and do nothing. The timer keeps running at the calm reply
        // time-out and the next tick tries to close it again.
        setInterval(ReplyTimeout);
        return;
    }
    m_timer.SetEnabled(false);
}

void PollCycle::sendRequest() {
    PollRequest request;
    if (m_writeMode == WriteMode::Requested) {
        m_writeMode = WriteMode::Sent;
        request.kind = PollRequest::Kind::Write;
        request.registerIndex = m_writeRegister;
        request.value = static_cast<std::uint16_t>(m_writeValue & 0xFFFF);
        BuildWriteRequest(m_txFrame, m_address, static_cast<std::uint8_t>(m_writeRegister),
                          request.value);
    } else {
        m_writeMode = WriteMode::Read;
        BuildReadRequest(m_txFrame, m_address);
    }
    // The request as it goes over the line, the same on the monitor and on record.
    const std::vector<std::uint8_t> wire =
        m_port.WireForm(m_txFrame.data(), m_txFrame.size(), true);
    const std::uint8_t* sent = wire.empty() ? m_txFrame.data() : wire.data();
    const std::size_t sentCount = wire.empty() ? m_txFrame.size() : wire.size();
    appendTraffic(QStringLiteral("Tx-"), sent, static_cast<int>(sentCount));
    ++m_txCount;
    showCounters();
    m_rxCount = 0;
    m_echo.RequestSent(m_txFrame);
    m_exceptionLogged = false;
    m_readoutTaken = false;
    m_port.ExpectReply(ExpectedReplySize(m_txFrame, m_echo.LineEchoes()));
    const PortResult failure = m_port.Write(m_txFrame.data(), static_cast<int>(m_txFrame.size()));
    request.written = !failure;
    // Straight after the write returned: reply times count from here.
    m_judge.RequestSent(sent, sentCount, request.written);
    for (PollListener* listener : m_listeners) {
        listener->OnRequestSent(request);
    }
    setWriteFailure(failure);
    // A refused request is logged and counted like a sent one and the next
    // tick counts it as missed. It waits out the reply time-out all the same:
    // a line that has gone away (an adapter pulled out) fails every write, and
    // at the short pause of a good line that would send, log and count
    // hundreds of requests a second.
    setInterval(ReplyTimeout);
}

void PollCycle::setWriteFailure(const PortResult& failure) {
    if (failure == m_writeFailure) {
        return;
    }
    m_writeFailure = failure;
    m_view.ShowWriteFailure(failure);
}

void PollCycle::lineChanged(const LineChange& change) {
    if (change.kind != LineChange::Kind::Moved) {
        m_judge.LineChanged(change.kind == LineChange::Kind::Back);
    }
    // A lost line shows as the reason every request then fails with.
    if (change.kind != LineChange::Kind::Lost) {
        m_view.ShowLineNote(change.text);
    }
    // A line that is back is asked at once rather than at the end of the
    // reply time-out the failed request is waiting out.
    if (change.kind == LineChange::Kind::Back && m_polling) {
        setInterval(StartInterval);
    }
}

bool PollCycle::dropEcho(TrafficJudge::Clock::time_point rxTime) {
    const EchoFilter::Outcome outcome = m_echo.Filter(m_rxFrame, m_rxCount);
    if (outcome == EchoFilter::Outcome::Pending || outcome == EchoFilter::Outcome::Passed) {
        return outcome == EchoFilter::Outcome::Passed;
    }
    m_judge.Echoed(m_txFrame.data(), m_txFrame.size(), rxTime);
    if (outcome != EchoFilter::Outcome::Dropped) {
        m_view.ShowLineNote(QCoreApplication::translate(
            "PollCycle", "The line echoes every request (an RS-485 adapter with local echo); "
                         "the echo is dropped."));
    }
    // After a write's reply came twice, what is left is the reply taken before.
    return outcome != EchoFilter::Outcome::FoundAfterReply;
}

void PollCycle::BytesArrived(int count) {
    // The reply's cells, read-outs and counters make one frame; a reply that
    // changed no cell still shows the counters.
    const FrameScope frame(m_view, PollView::Frame::Reply);
    if (count <= 0) {
        return;
    }
    const int received = drainPort(count);
    if (received == 0) {
        return;
    }
    const auto rxTime = m_port.LastRxTime();
    if (m_rxCount + received > static_cast<int>(RxFrameSize)) {
        // The delivery would run past the reply buffer: drop it whole and poll
        // again at once. The buffer keeps what it held.
        setInterval(OverflowInterval);
        m_replyState = ReplyState::Overflow;
        m_judge.Overflowed(m_rxScratch.data(), std::min<std::size_t>(received, RxScratchSize),
                           rxTime);
        return;
    }
    std::copy_n(m_rxScratch.begin(), received, m_rxFrame.begin() + m_rxCount);
    m_rxCount += received;
    if (!dropEcho(rxTime)) {
        return;
    }
    // The one judgement of the bytes so far: the record's verdict and whether
    // the engine takes the reply both follow from it.
    const ReplyCheck check =
        CheckReply(m_rxFrame.data(), static_cast<std::size_t>(m_rxCount), m_txFrame[0]);
    m_judge.Received(m_rxFrame.data(), static_cast<std::size_t>(m_rxCount), check, rxTime);
    settleReply(check, rxTime);
}

int PollCycle::drainPort(int count) {
    // Every reported byte is taken from the port, even those that will be
    // dropped, so a flood cannot pile up behind the reply buffer. A delivery
    // larger than the scratch area overflows the reply buffer anyway, so its
    // later pieces may overwrite the earlier ones.
    int received = 0;
    while (received < count) {
        const int offset = received < RxScratchSize ? received : 0;
        std::uint8_t* target = m_rxScratch.data() + offset;
        const int room = RxScratchSize - offset;
        const int wanted = std::min(count - received, room);
        const int got = std::min(m_port.Read(target, wanted).count, wanted);
        if (got <= 0) {
            break;
        }
        received += got;
    }
    return received;
}

void PollCycle::settleReply(ReplyCheck check, std::chrono::steady_clock::time_point rxTime) {
    const std::uint8_t* bytes = m_rxFrame.data();
    const auto rxCount = static_cast<std::size_t>(m_rxCount);
    if (!ReplyIsComplete(bytes, rxCount)) {
        // An exception reply never completes, but the operator should still see
        // why the slave refused. It stays a miss for the counters.
        if (!m_exceptionLogged && IsExceptionReply(bytes, rxCount)) {
            m_exceptionLogged = true;
            appendReceived(bytes, m_rxCount);
        }
        return;
    }
    appendReceived(bytes, m_rxCount);
    // Only a reply that comes from the slave just polled, carries a right CRC
    // and, for a read, the 40 bytes asked for counts as an answer; anything else
    // is logged for the operator and then treated as no reply.
    if (check != ReplyCheck::Ok) {
        return;
    }
    const std::uint8_t function = m_rxFrame[1];
    m_replyState = function == FunctionReadHolding ? ReplyState::Read : ReplyState::Write;
    m_echo.ReplyAccepted();
    if (const auto pause = PauseAfterReply(m_port.BaudRate())) {
        // The pause counts from the reply's end on the line, not from when
        // this handler got round to it.
        m_timer.SetInterval(static_cast<int>(pause->count()), rxTime);
    }
    if (function == FunctionReadHolding) {
        acceptRead(rxTime);
    }
}

void PollCycle::acceptRead(std::chrono::steady_clock::time_point rxTime) {
    for (int i = 0; i < RegisterCount; ++i) {
        m_registers[static_cast<std::size_t>(i)] = RegisterValue(m_rxFrame, i);
    }
    m_view.ShowRegisters(m_registers);
    // Bytes after a whole reply have the reply shown again; the sample stands
    // for the reply, so it goes out once, when the reply came in.
    if (m_readoutTaken) {
        return;
    }
    m_readoutTaken = true;
    ReadoutSample sample;
    sample.time = rxTime;
    sample.output = m_registers[ModuleRegister::OutputDisplay];
    sample.feedback = m_registers[ModuleRegister::FeedbackDisplay];
    sample.displayMode = m_registers[ModuleRegister::DisplayMode];
    sample.registers = m_registers;
    for (PollListener* listener : m_listeners) {
        listener->OnReadout(sample);
    }
}

void PollCycle::AddListener(PollListener& listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
        m_listeners.push_back(&listener);
    }
}

void PollCycle::RemoveListener(PollListener& listener) {
    std::erase(m_listeners, &listener);
}

bool PollCycle::RequestWrite(int registerIndex, int value) {
    if (registerIndex < 0 || registerIndex >= RegisterCount) {
        return false;
    }
    m_writeRegister = registerIndex;
    m_writeValue = value;
    m_writeMode = WriteMode::Requested;
    return true;
}

void PollCycle::showCounters() {
    m_view.ShowCounters(m_txCount, m_erCount);
}

void PollCycle::appendTraffic(const QString& prefix, const std::uint8_t* bytes, int count) {
    m_view.AppendMonitorLine(TrafficLine(prefix, m_clock(), bytes, count));
}

void PollCycle::appendReceived(const std::uint8_t* bytes, int count) {
    const std::vector<std::uint8_t> wire =
        m_port.WireForm(bytes, static_cast<std::size_t>(count), false);
    if (wire.empty()) {
        appendTraffic(QStringLiteral("Rx-"), bytes, count);
        return;
    }
    appendTraffic(QStringLiteral("Rx-"), wire.data(), static_cast<int>(wire.size()));
}

void PollCycle::setInterval(std::chrono::milliseconds interval) {
    m_timer.SetInterval(static_cast<int>(interval.count()));
}
