#include "poll/PollCycle.h"

#include "poll/PollPort.h"
#include "poll/PollView.h"
#include "poll/RegisterMap.h"

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
    const auto digit = [](int value) { return QChar(u'0' + value); };
    QString line;
    line.reserve(prefix.size() + 7 + 3 * count);
    line += prefix;
    line += digit(time.second / 10 % 10);
    line += digit(time.second % 10);
    line += u':';
    line += digit(time.millisecond / 100 % 10);
    line += digit(time.millisecond / 10 % 10);
    line += digit(time.millisecond % 10);
    line += u'>';
    if (count > 0) {
        line += u' ';
        line += TrafficBytesText(bytes, static_cast<std::size_t>(count));
    }
    return line;
}

PollCycle::PollCycle(PollPort& port, PollView& view, ClockFunction clock)
    : m_port(port), m_view(view), m_clock(std::move(clock)) {
    m_timer.SetEnabled(false);
    m_timer.SetInterval(static_cast<int>(StartInterval.count()));
    m_timer.SetOnTimer([this] { tmr1Timer(); });
    m_port.SetOnRxChar([this](int count) { ComPortRxChar(count); });
    m_port.SetOnLineChange([this](const LineChange& change) { lineChanged(change); });
}

PollCycle::~PollCycle() {
    m_port.SetOnRxChar(nullptr);
    m_port.SetOnLineChange(nullptr);
}

bool PollCycle::skButton2Click() {
    if (m_port.Connected()) {
        return true;
    }
    try {
        m_port.SetConnected(true);
        m_replyCode = ReplyStarted;
        m_view.ClearMonitor();
        m_writeMode = WriteModeRead;
        setInterval(StartInterval);
        m_timer.SetEnabled(true);
        m_polling = true;
        m_rxCount = 0;
        m_echo.Reset();
        m_writeFailure.clear();
        m_view.SetPanelText(PanelTxCount, QStringLiteral("0"));
        m_view.SetPanelText(PanelErCount, QStringLiteral("0"));
        m_view.SetPanelText(PanelPort, m_port.Port() + QStringLiteral(" | "));
        m_judge.Started();
    } catch (const std::exception& error) {
        m_view.ShowOpenFailure(OpenFailureText(), QString::fromUtf8(error.what()));
        return false;
    } catch (...) {
        m_view.ShowOpenFailure(OpenFailureText(), QString());
        return false;
    }
    return true;
}

void PollCycle::skButton3Click() {
    if (m_polling) {
        m_polling = false;
    }
}

void PollCycle::tmr1Timer() {
    m_judge.TickStarted();
    if (m_replyCode == ReplyNone) {
        incrementPanel(PanelErCount);
        m_judge.MissCounted(static_cast<std::size_t>(m_rxCount));
    }
    m_replyCode = ReplyNone;
    if (!m_polling) {
        stopLoop();
        return;
    }
    sendRequest();
}

void PollCycle::stopLoop() {
    try {
        m_port.SetConnected(false);
    } catch (...) {
        // The port refused to close and is still open, so Start would find it
        // open and do nothing. The timer keeps running at the calm reply
        // time-out and the next tick tries to close it again.
        setInterval(ReplyTimeout);
        return;
    }
    m_timer.SetEnabled(false);
}

void PollCycle::sendRequest() {
    const int address = m_view.AddressValue();
    if (m_writeMode == WriteModeRequested) {
        m_writeMode = WriteModeSent;
        BuildWriteRequest(m_txFrame, address, static_cast<std::uint8_t>(m_writeRegister),
                          static_cast<std::uint16_t>(m_writeValue & 0xFFFF));
    } else {
        m_writeMode = WriteModeRead;
        BuildReadRequest(m_txFrame, address);
    }
    appendTraffic(QStringLiteral("Tx-"), m_txFrame.data(), static_cast<int>(m_txFrame.size()));
    incrementPanel(PanelTxCount);
    m_rxCount = 0;
    m_echo.RequestSent(m_txFrame);
    m_exceptionLogged = false;
    m_readoutTaken = false;
    m_port.ExpectReply(ExpectedReplySize(m_txFrame, m_echo.LineEchoes()));
    bool written = false;
    QString failure;
    try {
        m_port.WriteData(m_txFrame.data(), static_cast<int>(m_txFrame.size()));
        written = true;
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        failure = QCoreApplication::translate("PollCycle", "The port refused the request.");
    }
    // Straight after the write returned: reply times count from here.
    m_judge.RequestSent(m_txFrame.data(), m_txFrame.size(), written);
    setWriteFailure(failure);
    // A refused request is logged and counted like a sent one and the next
    // tick counts it as missed. It waits out the reply time-out all the same:
    // a line that has gone away (an adapter pulled out) fails every write, and
    // at the short pause of a good line that would send, log and count
    // hundreds of requests a second.
    setInterval(ReplyTimeout);
}

void PollCycle::setWriteFailure(const QString& reason) {
    if (reason == m_writeFailure) {
        return;
    }
    m_writeFailure = reason;
    m_view.ShowWriteFailure(reason);
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

void PollCycle::ComPortRxChar(int count) {
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
        m_replyCode = ReplyOverflow;
        m_judge.Overflowed(m_rxScratch.data(), std::min<std::size_t>(received, RxScratchSize),
                           rxTime);
        return;
    }
    std::copy_n(m_rxScratch.begin(), received, m_rxFrame.begin() + m_rxCount);
    m_rxCount += received;
    if (!dropEcho(rxTime)) {
        return;
    }
    m_judge.Received(m_rxFrame.data(), static_cast<std::size_t>(m_rxCount), m_txFrame[0], rxTime);
    settleReply(rxTime);
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
        int got = 0;
        try {
            got = std::min(m_port.ReadData(target, wanted), wanted);
        } catch (...) {
            got = 0;
        }
        if (got <= 0) {
            break;
        }
        received += got;
    }
    return received;
}

void PollCycle::settleReply(std::chrono::steady_clock::time_point rxTime) {
    const std::uint8_t* bytes = m_rxFrame.data();
    const auto rxCount = static_cast<std::size_t>(m_rxCount);
    if (!ReplyIsComplete(bytes, rxCount)) {
        // An exception reply never completes, but the operator should still see
        // why the slave refused. It stays a miss for the counters.
        if (!m_exceptionLogged && IsExceptionReply(bytes, rxCount)) {
            m_exceptionLogged = true;
            appendTraffic(QStringLiteral("Rx-"), bytes, m_rxCount);
        }
        return;
    }
    appendTraffic(QStringLiteral("Rx-"), bytes, m_rxCount);
    // Only a reply that comes from the slave just polled, carries a right CRC
    // and, for a read, the 40 bytes asked for counts as an answer; anything else
    // is logged for the operator and then treated as no reply.
    if (!ReplyIsSound(bytes, rxCount, m_txFrame[0])) {
        return;
    }
    const std::uint8_t function = m_rxFrame[1];
    m_replyCode = function == FunctionReadHolding ? ReplyRead : ReplyWrite;
    m_echo.ReplyAccepted();
    if (const auto pause = PauseAfterReply(m_port.BaudRate())) {
        // The pause counts from the reply's end on the line, not from when
        // this handler got round to it.
        m_timer.SetInterval(static_cast<int>(pause->count()), rxTime);
    }
    if (function == FunctionReadHolding) {
        DecodeReply(m_rxFrame, m_view);
        // Bytes after a whole reply have the reply decoded again; the sample
        // stands for the reply, so it goes out once, when the reply came in.
        if (!m_readoutTaken) {
            m_readoutTaken = true;
            const ReadoutSample sample = ReadoutOf(m_rxFrame, rxTime);
            for (ReadoutListener* listener : m_readoutListeners) {
                listener->OnReadout(sample);
            }
        }
    }
}

void PollCycle::AddReadoutListener(ReadoutListener& listener) {
    if (std::find(m_readoutListeners.begin(), m_readoutListeners.end(), &listener) ==
        m_readoutListeners.end()) {
        m_readoutListeners.push_back(&listener);
    }
}

void PollCycle::RemoveReadoutListener(ReadoutListener& listener) {
    std::erase(m_readoutListeners, &listener);
}

bool PollCycle::RequestWrite(int value) {
    const int column = m_view.CurrentColumn();
    const int row = m_view.CurrentRow();
    if (!IsValueCell(column, row)) {
        return false;
    }
    return RequestWriteToRegister(RegisterOfCell(column, row), value);
}

bool PollCycle::RequestWriteToRegister(int registerIndex, int value) {
    if (registerIndex < 0 || registerIndex >= RegisterCount) {
        return false;
    }
    m_writeRegister = registerIndex;
    m_writeValue = value;
    m_writeMode = WriteModeRequested;
    return true;
}

void PollCycle::incrementPanel(int panel) {
    // The panel text is the counter; text that is not a number starts it afresh.
    bool isNumber = false;
    const qlonglong current = m_view.PanelText(panel).toLongLong(&isNumber);
    m_view.SetPanelText(panel, QString::number(isNumber ? current + 1 : 1));
}

void PollCycle::appendTraffic(const QString& prefix, const std::uint8_t* bytes, int count) {
    m_view.AppendMonitorLine(TrafficLine(prefix, m_clock(), bytes, count));
}

void PollCycle::setInterval(std::chrono::milliseconds interval) {
    m_timer.SetInterval(static_cast<int>(interval.count()));
}
