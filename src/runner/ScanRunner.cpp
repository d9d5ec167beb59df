#include "runner/ScanRunner.h"

#include "poll/PollCycle.h"
#include "poll/PollPort.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Eight data bits, two stop bits, no parity: eleven bits a character.
constexpr int BitsPerCharacter = 11;
// The request, the longest answer (a read of 20 registers) and the silence
// of three and a half characters that ends the request, counted in halves.
constexpr int HalfCharactersOnTheWire = 2 * (TxFrameSize + ReadReplySize) + 7;
// The silence after an answer before the next request, at least this long.
constexpr std::chrono::microseconds ShortestSilence{1750};

std::chrono::microseconds characterTime(int bitsPerSecond) {
    return std::chrono::microseconds(1'000'000LL * BitsPerCharacter / std::max(bitsPerSecond, 1));
}

} // namespace

std::chrono::milliseconds ScanReplyTimeout(int bitsPerSecond) {
    const auto wire = characterTime(bitsPerSecond) * HalfCharactersOnTheWire / 2;
    return std::chrono::ceil<std::chrono::milliseconds>(wire) + ScanRunner::Margin;
}

ScanRunner::ScanRunner(PollPort& port, std::vector<TBaudRate> rates, std::FILE* out, std::FILE* err)
    : m_port(port), m_rates(std::move(rates)), m_out(out), m_err(err) {
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timeout, &QTimer::timeout, [this] { waitEnded(); });
}

ScanRunner::~ScanRunner() {
    m_port.SetOnRxChar(nullptr);
}

int ScanRunner::Run() {
    if (const PortResult failure = m_port.Open()) {
        printError(OpenFailureText());
        printError(failure->text);
        return ExitPortFailed;
    }
    m_port.SetOnRxChar([this](int count) { received(count); });
    m_echo.Reset();
    startRate();
    if (!m_done) {
        m_loop.exec();
    }
    m_port.SetOnRxChar(nullptr);
    // A line that went away cannot be restored; the scan has its result.
    static_cast<void>(m_port.Close());
    if (m_status != ExitPortFailed) {
        printError(m_found == 0 ? tr("scan: no module answered")
                                : tr("scan: %1 found").arg(m_found));
    }
    return m_status;
}

void ScanRunner::Interrupt() {
    m_interrupted = true;
}

void ScanRunner::startRate() {
    const TBaudRate rate = m_rates[m_rateIndex];
    if (const PortResult failure = m_port.SetLineRate(rate)) {
        printError(failure->text);
        finish(ExitPortFailed);
        return;
    }
    const int bitsPerSecond = BaudRateValue(rate);
    const auto longest = ScanReplyTimeout(bitsPerSecond) * (LastAddress - FirstAddress + 1);
    printError(tr("scan: %1 baud, addresses %2 to %3, up to %4 s")
                   .arg(bitsPerSecond)
                   .arg(FirstAddress)
                   .arg(LastAddress)
                   .arg(std::chrono::duration<double>(longest).count(), 0, 'f', 1));
    m_address = FirstAddress;
    ask();
}

void ScanRunner::ask() {
    if (m_interrupted) {
        finish(m_found > 0 ? ExitFound : ExitNoneFound);
        return;
    }
    // What came since the last wait ended is judged as that address's late
    // answer; only the beginning of such an answer is kept for what follows.
    readInput(m_port.PendingInput());
    if (lateReplyInFront() != Front::LateReplyBegun) {
        m_replyCount = 0;
    }
    BuildReadRequest(m_request, m_address);
    m_echo.RequestSent(m_request);
    m_answered = false;
    if (const PortResult failure =
            m_port.Write(m_request.data(), static_cast<int>(m_request.size()))) {
        printError(failure->text);
        finish(ExitPortFailed);
        return;
    }
    m_timeout.start(ScanReplyTimeout(BaudRateValue(m_rates[m_rateIndex])));
}

void ScanRunner::received(int count) {
    if (!m_answered) {
        readInput(count);
        return;
    }
    // Bytes after an answer (trailing noise) are taken from the port and dropped.
    std::array<std::uint8_t, 256> scratch{};
    while (count > 0) {
        const int got =
            m_port.Read(scratch.data(), std::min<int>(count, static_cast<int>(scratch.size())))
                .count;
        if (got <= 0) {
            break;
        }
        count -= got;
    }
}

void ScanRunner::readInput(int count) {
    std::array<std::uint8_t, 256> scratch{};
    bool arrived = false;
    while (count > 0) {
        // Bytes beyond the reply buffer are taken from the port and dropped.
        const std::size_t room = m_reply.size() - m_replyCount;
        std::uint8_t* target = room > 0 ? m_reply.data() + m_replyCount : scratch.data();
        const int wanted = std::min<int>(count, static_cast<int>(room > 0 ? room : scratch.size()));
        // A failing read ends the reading; the write that follows says what
        // is wrong with the line.
        const int got = m_port.Read(target, wanted).count;
        if (got <= 0) {
            break;
        }
        count -= got;
        if (room > 0) {
            m_replyCount += static_cast<std::size_t>(got);
            arrived = true;
        }
    }
    if (arrived) {
        judge();
    }
}

void ScanRunner::judge() {
    // On the wire a late answer of the address before comes ahead of this
    // request's echo, and both ahead of this address's answer; without an
    // echo, the late answer may also follow the request.
    for (bool tookSomething = true; tookSomething;) {
        tookSomething = false;
        switch (lateReplyInFront()) {
        case Front::LateReplyBegun:
            return;
        case Front::LateReply:
            found(std::exchange(m_lateAddress, 0));
            dropFront(ReadReplySize);
            // The bytes now in front are looked at afresh for the echo.
            m_echo.RequestSent(m_request);
            tookSomething = true;
            continue;
        case Front::Other:
            break;
        }
        int count = static_cast<int>(m_replyCount);
        const EchoFilter::Outcome outcome = m_echo.Filter(m_reply, count);
        m_replyCount = static_cast<std::size_t>(count);
        switch (outcome) {
        case EchoFilter::Outcome::Pending:
            return;
        case EchoFilter::Outcome::Found:
        case EchoFilter::Outcome::FoundAfterReply:
            if (!std::exchange(m_echoTold, true)) {
                printError(tr("scan: the line echoes every request (an RS-485 adapter with "
                              "local echo); the echo is dropped"));
            }
            tookSomething = true;
            break;
        case EchoFilter::Outcome::Dropped:
            tookSomething = true;
            break;
        case EchoFilter::Outcome::Passed:
            break;
        }
    }
    if (m_answered || !ReplyIsComplete(m_reply.data(), m_replyCount) ||
        !ReplyIsSound(m_reply.data(), m_replyCount, m_address)) {
        return;
    }
    m_answered = true;
    m_lateAddress = 0;
    m_echo.ReplyAccepted();
    found(m_address);
    // The next request follows once the line has been silent for a frame gap.
    const auto silence =
        std::max(characterTime(BaudRateValue(m_rates[m_rateIndex])) * 7 / 2, ShortestSilence);
    m_timeout.start(std::chrono::ceil<std::chrono::milliseconds>(silence));
}

ScanRunner::Front ScanRunner::lateReplyInFront() const {
    if (m_lateAddress == 0 || m_replyCount == 0) {
        return Front::Other;
    }
    // The reply to the tool's read: address, function, byte count, ...
    const std::array<std::uint8_t, 3> head{static_cast<std::uint8_t>(m_lateAddress),
                                           FunctionReadHolding, ReadReplyByteCount};
    const std::size_t compared = std::min(m_replyCount, head.size());
    if (!std::equal(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(compared),
                    m_reply.begin())) {
        return Front::Other;
    }
    if (m_replyCount < ReadReplySize) {
        return Front::LateReplyBegun;
    }
    return ReplyIsSound(m_reply.data(), ReadReplySize, m_lateAddress) ? Front::LateReply
                                                                      : Front::Other;
}

void ScanRunner::dropFront(std::size_t count) {
    std::copy(m_reply.begin() + static_cast<std::ptrdiff_t>(count),
              m_reply.begin() + static_cast<std::ptrdiff_t>(m_replyCount), m_reply.begin());
    m_replyCount -= count;
}

void ScanRunner::found(int address) {
    ++m_found;
    // Scripts read this line: it is the same in every language.
    const QByteArray line = QStringLiteral("found address=%1 baud=%2\n")
                                .arg(address)
                                .arg(BaudRateValue(m_rates[m_rateIndex]))
                                .toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_out);
    std::fflush(m_out);
}

void ScanRunner::waitEnded() {
    // On a busy machine the answer can be in the driver before its
    // received-characters event has come round: take it before moving on.
    if (!m_answered) {
        if (const int pending = m_port.PendingInput(); pending > 0) {
            readInput(pending);
            if (m_answered) {
                return;
            }
        }
    }
    nextAddress();
}

void ScanRunner::nextAddress() {
    // An address that stayed silent may yet answer while the next is asked.
    m_lateAddress = m_answered ? 0 : m_address;
    if (m_address < LastAddress && !m_interrupted) {
        ++m_address;
        ask();
        return;
    }
    // At another rate a late answer would arrive garbled.
    m_lateAddress = 0;
    ++m_rateIndex;
    if (m_rateIndex >= m_rates.size() || m_interrupted) {
        finish(m_found > 0 ? ExitFound : ExitNoneFound);
        return;
    }
    startRate();
}

void ScanRunner::finish(int status) {
    m_status = status;
    m_done = true;
    m_timeout.stop();
    m_loop.quit();
}

void ScanRunner::printError(const QString& line) {
    const QByteArray text = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), m_err);
    std::fflush(m_err);
}
