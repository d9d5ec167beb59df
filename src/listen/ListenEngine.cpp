#include "listen/ListenEngine.h"

#include "poll/PollCycle.h"
#include "poll/PollView.h"
#include "serial/ComTypes.h"

#include <algorithm>

namespace {

// Start bit, eight data bits and two stop bits: the framing the module's
// lines are set to.
constexpr int BitsPerCharacter = 11;
// Held bytes wait for at least this many silences before they go out.
constexpr int IdleSilences = 4;

// The wall-clock time of a moment on the monotonic clock.
std::chrono::system_clock::time_point wallTimeOf(std::chrono::steady_clock::time_point when) {
    const auto ago = std::chrono::steady_clock::now() - when;
    return std::chrono::system_clock::now() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(ago);
}

} // namespace

TimeOfDay TimeOfDayBefore(const TimeOfDay& time, std::chrono::milliseconds age) {
    using namespace std::chrono;
    constexpr std::int64_t Day = duration_cast<milliseconds>(hours{24}).count();
    const std::int64_t of =
        duration_cast<milliseconds>(hours{time.hour} + minutes{time.minute} + seconds{time.second})
            .count() +
        time.millisecond;
    const std::int64_t earlier = ((of - age.count()) % Day + Day) % Day;
    const hh_mm_ss<milliseconds> split{milliseconds{earlier}};
    return {static_cast<int>(split.hours().count()), static_cast<int>(split.minutes().count()),
            static_cast<int>(split.seconds().count()),
            static_cast<int>(split.subseconds().count())};
}

class ListenEngine::FrameScope {
public:
    explicit FrameScope(PollView& view) : m_view(view) {
        m_view.BeginFrame(PollView::Frame::Reply);
    }
    ~FrameScope() { m_view.EndFrame(); }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    PollView& m_view;
};

ListenEngine::ListenEngine(PollPort& port, PollView& view, ClockFunction clock)
    : m_port(port), m_view(view), m_clock(std::move(clock)) {
    m_idle.setSingleShot(true);
    m_idle.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_idle, &QTimer::timeout, [this] { lineIdle(); });
    QObject::connect(&m_probe, &QTimer::timeout, [this] { probeLine(); });
    m_port.SetOnRxChar([this](int count) { BytesArrived(count); });
    m_port.SetOnLineChange([this](const LineChange& change) { lineChanged(change); });
}

ListenEngine::~ListenEngine() {
    m_port.SetOnRxChar(nullptr);
    m_port.SetOnLineChange(nullptr);
}

void ListenEngine::AddListener(PollListener& listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
        m_listeners.push_back(&listener);
    }
}

void ListenEngine::RemoveListener(PollListener& listener) {
    std::erase(m_listeners, &listener);
}

bool ListenEngine::Start() {
    if (m_listening) {
        return true;
    }
    // The line promises to send nothing before it is opened at all.
    if (const PortResult refused = m_port.SetListenOnly(true)) {
        m_view.ShowOpenFailure(*refused);
        return false;
    }
    if (const PortResult failure = m_port.Open()) {
        static_cast<void>(m_port.SetListenOnly(false));
        m_view.ShowOpenFailure(*failure);
        return false;
    }
    // Bytes the line kept from before it was opened (a pseudo-terminal keeps
    // them; a UART hears nothing while closed) were not heard now.
    for (int stale = m_port.PendingInput(); stale > 0;) {
        const int got = m_port.Read(m_scratch.data(), std::min(stale, ScratchSize)).count;
        if (got <= 0) {
            break;
        }
        stale -= got;
    }
    m_listening = true;
    m_txCount = 0;
    m_erCount = 0;
    m_registers = {};
    m_splitter.Reset();
    m_pairer.Reset();
    m_start = Clock::now();
    m_lastDelivery = m_start;
    m_lastArrival = {};
    m_view.ClearMonitor();
    showCounters();
    m_view.ShowPolledPort(m_port.Port());
    for (PollListener* listener : m_listeners) {
        listener->OnStarted();
    }
    setTiming();
    m_probe.start(ProbeInterval);
    return true;
}

void ListenEngine::setTiming() {
    const int rate = BaudRateValue(m_port.BaudRate());
    const std::chrono::nanoseconds silence = RtuSilence(rate, BitsPerCharacter);
    m_splitter.SetSilence(silence);
    m_characterTime =
        rate > 0 ? std::chrono::nanoseconds{std::int64_t{BitsPerCharacter} * 1'000'000'000 / rate}
                 : std::chrono::nanoseconds::zero();
    const std::optional<std::chrono::milliseconds> latency = m_port.ReceiveLatency();
    m_coarse = latency && *latency > FineLatency;
    m_latency = latency.value_or(std::chrono::milliseconds::zero());
    // A frame cut by the adapter's timer goes on after a pause of up to the
    // timer; only a pause well beyond it ends what is held.
    m_idleLimit = std::max({ShortestIdle, latency.value_or(ShortestIdle) * 2,
                            std::chrono::ceil<std::chrono::milliseconds>(silence * IdleSilences)});
    if (m_coarse) {
        m_view.ShowLineNote(
            tr("%1: the USB adapter holds received bytes for %2 ms (its latency timer), so "
               "response times are coarse. To lower it to 1 ms, put this rule into %3 and "
               "plug the adapter in again: %4")
                .arg(m_port.Port())
                .arg(latency->count())
                .arg(QString::fromLatin1(UdevRuleFile), QString::fromLatin1(UdevRule)));
    }
}

void ListenEngine::Stop() {
    if (!m_listening) {
        return;
    }
    const FrameScope frame(m_view);
    std::vector<BusFrame> frames;
    m_splitter.Flush(frames);
    deliver(frames);
    std::vector<BusEntry> entries;
    m_pairer.Settle(Clock::now(), entries);
    for (const BusEntry& entry : entries) {
        show(entry);
    }
    m_listening = false;
    m_idle.stop();
    m_probe.stop();
    if (const PortResult failure = m_port.Close()) {
        m_view.ShowLineNote(failure->text);
    }
    static_cast<void>(m_port.SetListenOnly(false));
}

void ListenEngine::BytesArrived(int count) {
    const FrameScope frame(m_view);
    if (!m_listening || count <= 0) {
        return;
    }
    std::vector<RxPiece> pieces = m_port.LastRxPieces();
    if (pieces.empty()) {
        pieces.push_back({count, m_port.LastRxTime()});
    }
    // Every announced byte is taken, in pieces no larger than the scratch
    // area, so that a flood is split as it comes and never piles up.
    for (int offset = 0; offset < count;) {
        const int wanted = std::min(count - offset, ScratchSize);
        const int got = std::min(m_port.Read(m_scratch.data(), wanted).count, wanted);
        if (!m_listening || got <= 0) {
            break;
        }
        arrivalTimes(pieces, offset, got, Clock::now());
        feed(got, m_times.data());
        offset += got;
    }
    m_lastDelivery = Clock::now();
    if (m_listening && m_splitter.Held() > 0) {
        m_idle.start(m_idleLimit);
    }
}

void ListenEngine::arrivalTimes(const std::vector<RxPiece>& pieces, int offset, int count,
                                Clock::time_point now) {
    // A piece's last byte came at its time, and the bytes before it at the
    // line's pace before that, though never before the piece seen earlier.
    std::size_t piece = 0;
    for (int i = 0; i < count; ++i) {
        const int at = offset + i;
        while (piece < pieces.size() && pieces[piece].end <= at) {
            ++piece;
        }
        Clock::time_point time = now;
        if (piece < pieces.size()) {
            const Clock::time_point floor = piece > 0 ? pieces[piece - 1].time : m_lastArrival;
            const auto behind = m_characterTime * (pieces[piece].end - 1 - at);
            time = std::max(pieces[piece].time - behind, floor);
        }
        time = std::max(time, m_lastArrival);
        m_times[static_cast<std::size_t>(i)] = time;
        m_lastArrival = time;
    }
}

void ListenEngine::feed(int count, const Clock::time_point* times) {
    std::vector<BusFrame> frames;
    m_splitter.Feed(m_scratch.data(), times, static_cast<std::size_t>(count), frames);
    deliver(frames);
}

void ListenEngine::lineIdle() {
    const FrameScope frame(m_view);
    if (!m_listening) {
        return;
    }
    // Bytes already waiting whose event has not come round yet mean the
    // line is not quiet at all.
    if (m_port.PendingInput() > 0) {
        m_idle.start(m_idleLimit);
        return;
    }
    std::vector<BusFrame> frames;
    m_splitter.Flush(frames);
    deliver(frames);
}

void ListenEngine::probeLine() {
    if (!m_listening || Clock::now() - m_lastDelivery < ProbeInterval) {
        return;
    }
    // A line nobody talks on gives no event when its adapter goes: a read
    // finds out (the line's keeper hears of it). Bytes it finds are the
    // line's like any other.
    const FrameScope frame(m_view);
    const int got = std::min(m_port.Read(m_scratch.data(), ScratchSize).count, ScratchSize);
    m_lastDelivery = Clock::now();
    if (m_listening && got > 0) {
        arrivalTimes({}, 0, got, m_lastDelivery);
        feed(got, m_times.data());
        m_idle.start(m_idleLimit);
    }
}

void ListenEngine::deliver(std::vector<BusFrame>& frames) {
    std::vector<BusEntry> entries;
    for (const BusFrame& busFrame : frames) {
        m_pairer.Take(busFrame, entries);
    }
    for (const BusEntry& entry : entries) {
        show(entry);
    }
}

void ListenEngine::show(const BusEntry& entry) {
    if (entry.direction != TrafficDirection::NoReply) {
        const QString prefix =
            entry.direction == TrafficDirection::Tx ? QStringLiteral("Tx-") : QStringLiteral("Rx-");
        // The line shows when the frame ended on the line, not when it was
        // found: a delivery may hold a request and its reply.
        const auto age = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(Clock::now() - entry.time, Clock::duration::zero()));
        m_view.AppendMonitorLine(TrafficLine(prefix, TimeOfDayBefore(m_clock(), age),
                                             entry.bytes.data(),
                                             static_cast<int>(entry.bytes.size())));
    }
    TrafficEvent event;
    event.time = wallTimeOf(entry.time);
    event.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::max(entry.time - m_start, Clock::duration::zero()));
    event.direction = entry.direction;
    event.verdict = entry.verdict;
    event.exceptionCode = entry.exceptionCode;
    event.bytes = entry.bytes;
    event.responseTime = entry.responseTime;
    event.coarseTime = m_coarse && entry.responseTime.has_value();
    record(event);
    if (entry.request) {
        ++m_txCount;
        showCounters();
    }
    if (entry.miss) {
        ++m_erCount;
        showCounters();
        for (PollListener* listener : m_listeners) {
            listener->OnMissCounted();
        }
    }
    if (entry.read && entry.read->address == m_address) {
        showRead(*entry.read, entry.time);
    }
}

void ListenEngine::showRead(const RegisterRead& read, Clock::time_point time) {
    bool shown = false;
    for (std::size_t i = 0; i < read.values.size(); ++i) {
        const int index = read.firstRegister + static_cast<int>(i);
        if (index >= 0 && index < RegisterCount) {
            m_registers[static_cast<std::size_t>(index)] = read.values[i];
            shown = true;
        }
    }
    if (!shown) {
        return;
    }
    m_view.ShowRegisters(m_registers);
    ReadoutSample sample;
    sample.time = time;
    sample.output = m_registers[ModuleRegister::OutputDisplay];
    sample.feedback = m_registers[ModuleRegister::FeedbackDisplay];
    sample.displayMode = m_registers[ModuleRegister::DisplayMode];
    sample.registers = m_registers;
    for (PollListener* listener : m_listeners) {
        listener->OnReadout(sample);
    }
}

void ListenEngine::record(TrafficEvent& event) {
    for (PollListener* listener : m_listeners) {
        listener->OnTraffic(event);
    }
}

void ListenEngine::lineEntry(TrafficVerdict verdict) {
    TrafficEvent event;
    const Clock::time_point now = Clock::now();
    event.time = wallTimeOf(now);
    event.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - m_start);
    event.direction = TrafficDirection::NoReply;
    event.verdict = verdict;
    record(event);
}

void ListenEngine::lineChanged(const LineChange& change) {
    const FrameScope frame(m_view);
    if (change.kind == LineChange::Kind::Lost && m_listening) {
        // What the line gave before it went is settled; what it gives after
        // it is back begins afresh.
        std::vector<BusFrame> frames;
        m_splitter.Flush(frames);
        deliver(frames);
        m_splitter.Reset();
        m_pairer.Reset();
        m_idle.stop();
    }
    if (change.kind != LineChange::Kind::Moved && m_listening) {
        lineEntry(change.kind == LineChange::Kind::Back ? TrafficVerdict::LineBack
                                                        : TrafficVerdict::LineLost);
    }
    m_view.ShowLineNote(change.text);
}

void ListenEngine::showCounters() {
    m_view.ShowCounters(m_txCount, m_erCount);
}
