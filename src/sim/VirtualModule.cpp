#include "sim/VirtualModule.h"

#include "platform/serial/FdIo.h"
#include "platform/serial/SymbolicLink.h"
#include "sim/SlaveProtocol.h"

#include <algorithm>

namespace {

// Modbus fixes the end-of-frame silence at 1.75 ms above 19200 baud; a
// pseudo-terminal gives no finer timing anyway.
constexpr std::chrono::microseconds MinimumSilentInterval{1750};
// After a hang-up the line is looked at again this often, so that a port
// nobody holds does not wake the thread in a tight loop.
constexpr std::chrono::milliseconds HangUpBackOff{50};
constexpr std::size_t ReadChunkSize = 512;
// An echo that cannot be handed back within this long (a client that reads
// nothing) is given up rather than holding up the module.
constexpr std::chrono::milliseconds EchoStallLimit{100};
// Bits per character when the line cannot be asked: 8 data, 2 stop, no parity.
constexpr unsigned DefaultBitsPerCharacter = 11;

} // namespace

VirtualModule::VirtualModule() : VirtualModule(VirtualModuleOptions{}) {}

VirtualModule::VirtualModule(const VirtualModuleOptions& options)
    : m_registers(options.address, options.baudRate), m_pacing(options.pacing),
      m_strictBaudRate(options.strictBaudRate), m_echo(options.echo), m_link(options.link) {
    m_registers.SetNoise(options.noise, options.seed);
    m_registers.SetFeedbackErrors(options.feedback);
    m_registers.SetUnitFaults(options.unitFaults);
}

VirtualModule::~VirtualModule() {
    Stop();
}

int VirtualModule::Start() {
    if (m_running) {
        return 0;
    }
    // The module holds the slave end itself, so a client may close the port
    // and open it again without the master end seeing a hang-up.
    if (const int error = m_terminal->Open(true); error != 0) {
        return error;
    }
    if (const int error = m_link.empty() ? 0 : pointLinkAt(m_link, m_terminal->SlavePath());
        error != 0) {
        m_terminal->Close();
        return error;
    }
    if (const int error = m_stop.Open(); error != 0) {
        m_terminal->Close();
        return error;
    }
    m_running = true;
    publishPortPath();
    startServing();
    return 0;
}

void VirtualModule::Stop() {
    if (!m_running) {
        return;
    }
    stopServing();
    m_running = false;
    m_stop.Close();
    m_terminal->Close();
    if (!m_link.empty()) {
        removeLink(m_link);
    }
    publishPortPath();
}

void VirtualModule::Unplug() {
    if (!m_running) {
        return;
    }
    stopServing();
    if (!m_link.empty()) {
        removeLink(m_link);
    }
    m_terminal->Close();
    publishPortPath();
}

int VirtualModule::PlugIn() {
    if (!m_running) {
        return EINVAL;
    }
    auto fresh = std::make_unique<PseudoTerminal>();
    if (const int error = fresh->Open(true); error != 0) {
        return error;
    }
    // The link leads to the new port before the old one closes, so a client
    // that reopens the link at the hang-up finds the new one.
    if (const int error = m_link.empty() ? 0 : pointLinkAt(m_link, fresh->SlavePath());
        error != 0) {
        return error;
    }
    stopServing();
    m_terminal = std::move(fresh);
    publishPortPath();
    startServing();
    return 0;
}

bool VirtualModule::IsPluggedIn() const {
    return m_running && m_terminal->IsOpen();
}

void VirtualModule::startServing() {
    m_assembler.Clear();
    m_awaitingSilence = false;
    m_thread = std::thread([this] { serve(); });
}

void VirtualModule::stopServing() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop.Signal();
    m_thread.join();
    m_stop.Clear();
}

void VirtualModule::publishPortPath() {
    std::lock_guard lock(m_mutex);
    m_portPath = m_running && m_terminal->IsOpen() ? m_terminal->SlavePath() : std::string();
}

bool VirtualModule::IsRunning() const {
    return m_running;
}

std::string VirtualModule::PortPath() const {
    std::lock_guard lock(m_mutex);
    return m_portPath;
}

std::uint16_t VirtualModule::Register(int index) const {
    std::lock_guard lock(m_mutex);
    return m_registers.Value(index);
}

std::array<std::uint16_t, RegisterCount> VirtualModule::Registers() const {
    std::lock_guard lock(m_mutex);
    return m_registers.Values();
}

void VirtualModule::SetRegister(int index, std::uint16_t value) {
    std::lock_guard lock(m_mutex);
    m_registers.Set(index, value);
}

std::uint8_t VirtualModule::Address() const {
    std::lock_guard lock(m_mutex);
    return m_registers.Address();
}

void VirtualModule::SetAddress(std::uint8_t address) {
    std::lock_guard lock(m_mutex);
    m_registers.SetAddress(address);
}

void VirtualModule::SetPacing(Pacing pacing) {
    std::lock_guard lock(m_mutex);
    m_pacing = pacing;
}

void VirtualModule::SetStrictBaudRate(bool strict) {
    std::lock_guard lock(m_mutex);
    m_strictBaudRate = strict;
}

void VirtualModule::SetNoise(int amplitude, std::uint32_t seed) {
    std::lock_guard lock(m_mutex);
    m_registers.SetNoise(amplitude, seed);
}

void VirtualModule::SetFeedbackErrors(const FeedbackErrors& errors) {
    std::lock_guard lock(m_mutex);
    m_registers.SetFeedbackErrors(errors);
}

void VirtualModule::SetEcho(bool echo) {
    std::lock_guard lock(m_mutex);
    m_echo = echo;
}

void VirtualModule::SetLoopback(bool wired) {
    std::lock_guard lock(m_mutex);
    m_registers.SetLoopback(wired);
}

void VirtualModule::Restart() {
    std::lock_guard lock(m_mutex);
    m_registers.Restart();
}

CalibrationRecord VirtualModule::Calibration() const {
    std::lock_guard lock(m_mutex);
    return m_registers.Calibration();
}

ModuleStatistics VirtualModule::Statistics() const {
    std::lock_guard lock(m_mutex);
    return m_statistics;
}

void VirtualModule::SetTrafficObserver(TrafficObserver observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void VirtualModule::serve() {
    const int master = m_terminal->MasterFd();
    const int stop = m_stop.Fd();
    for (;;) {
        // Only wait for silence when bytes came in since the last silence;
        // otherwise a partial request left on the line would wake us for ever.
        std::optional<std::chrono::microseconds> timeout;
        if (m_awaitingSilence) {
            timeout = silentInterval();
        }
        switch (FdIo::WaitReadable(master, stop, timeout)) {
        case FdIo::WaitResult::Readable:
            if (!receive() && FdIo::SleepUnlessStopped(stop, HangUpBackOff)) {
                return;
            }
            break;
        case FdIo::WaitResult::TimedOut:
            lineIdle();
            break;
        case FdIo::WaitResult::Stopped:
            return;
        case FdIo::WaitResult::HungUp:
        case FdIo::WaitResult::Failed:
            if (FdIo::SleepUnlessStopped(stop, HangUpBackOff)) {
                return;
            }
            break;
        }
    }
}

bool VirtualModule::receive() {
    std::array<std::uint8_t, ReadChunkSize> buffer{};
    const std::ptrdiff_t count = FdIo::ReadAvailable(m_terminal->MasterFd(), buffer);
    if (count < 0) {
        // A read error with the line still reported readable (EIO once the
        // other end is gone) would otherwise bring us straight back here.
        return false;
    }
    if (count == 0) {
        return true;
    }
    const auto received = std::span(buffer.data(), static_cast<std::size_t>(count));
    if (echoes()) {
        // The adapter's receiver hears its own transmitter, whatever the
        // module makes of the bytes.
        FdIo::WriteAll(m_terminal->MasterFd(), received, m_stop.Fd(), EchoStallLimit);
    }
    if (!hearsLine()) {
        // At another rate the module's UART would see only framing errors.
        m_misheardBytes += static_cast<std::size_t>(count);
        publishDiscarded();
        return true;
    }
    m_assembler.Append(received);
    m_awaitingSilence = true;
    while (auto request = m_assembler.TakeRequest()) {
        handleRequest(*request);
    }
    return true;
}

void VirtualModule::lineIdle() {
    m_awaitingSilence = false;
    while (auto request = m_assembler.LineIdle()) {
        handleRequest(*request);
    }
    publishDiscarded();
}

bool VirtualModule::echoes() const {
    std::lock_guard lock(m_mutex);
    return m_echo;
}

bool VirtualModule::hearsLine() const {
    unsigned ownRate = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_strictBaudRate) {
            return true;
        }
        ownRate = m_registers.BaudRate();
    }
    return lineFormat().baudRate == ownRate;
}

void VirtualModule::publishDiscarded() {
    std::lock_guard lock(m_mutex);
    m_statistics.discardedBytes = m_assembler.DiscardedBytes() + m_misheardBytes;
}

void VirtualModule::handleRequest(const std::vector<std::uint8_t>& request) {
    publishDiscarded();
    std::optional<Answer> answered = Serve(request);
    if (!answered) {
        return;
    }
    std::vector<std::uint8_t>& reply = answered->reply;
    const FaultPlan& plan = answered->plan;
    ApplyReplyFaults(reply, plan);
    if (plan.Has(Fault::LateReply) && FdIo::SleepUnlessStopped(m_stop.Fd(), plan.lateDelay)) {
        return;
    }
    TransmitPlan transmit;
    transmit.characterTime = characterTime();
    if (plan.Has(Fault::SplitReply)) {
        transmit.chunkSize = plan.splitChunkSize;
        transmit.chunkGap = plan.splitGap;
    }
    if (!TransmitReply(m_terminal->MasterFd(), m_stop.Fd(), reply, transmit)) {
        return;
    }
    ReplySent(reply);
}

std::optional<VirtualModule::Answer>
VirtualModule::Serve(const std::vector<std::uint8_t>& request) {
    observe(true, request);
    FaultPlan plan;
    std::optional<std::vector<std::uint8_t>> reply = answer(request, plan);
    if (!reply || plan.Has(Fault::NoReply)) {
        return std::nullopt;
    }
    return Answer{std::move(*reply), plan};
}

void VirtualModule::ReplySent(std::span<const std::uint8_t> reply) {
    {
        std::lock_guard lock(m_mutex);
        ++m_statistics.replies;
    }
    observe(false, reply);
}

std::optional<std::vector<std::uint8_t>>
VirtualModule::answer(const std::vector<std::uint8_t>& request, FaultPlan& plan) {
    std::lock_guard lock(m_mutex);
    const std::uint8_t address = request[0];
    if (address == BroadcastAddress) {
        // A broadcast is carried out by every slave and answered by none.
        ++m_statistics.requests;
        if (IsBroadcastWrite(request)) {
            ExecuteRequest(m_registers, request);
        }
        return std::nullopt;
    }
    if (address != m_registers.Address()) {
        ++m_statistics.ignored;
        return std::nullopt;
    }
    ++m_statistics.requests;
    plan = m_faults.TakeForRequest();
    if (plan.Has(Fault::ExceptionReply)) {
        return BuildExceptionReply(address, request[1], plan.exceptionCode);
    }
    return ExecuteRequest(m_registers, request);
}

void VirtualModule::observe(bool received, std::span<const std::uint8_t> bytes) {
    TrafficObserver observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_observer;
    }
    if (observer) {
        observer(received, bytes);
    }
}

FdIo::LineFormat VirtualModule::lineFormat() const {
    FdIo::LineFormat format;
    format.bitsPerCharacter = DefaultBitsPerCharacter;
    if (const auto line = FdIo::ReadLineFormat(m_terminal->MasterFd())) {
        format = *line;
    }
    return format;
}

std::chrono::nanoseconds VirtualModule::characterTime() const {
    Pacing pacing = Pacing::Off;
    unsigned ownRate = 0;
    {
        std::lock_guard lock(m_mutex);
        pacing = m_pacing;
        ownRate = m_registers.BaudRate();
    }
    if (pacing == Pacing::Off) {
        return std::chrono::nanoseconds::zero();
    }
    const FdIo::LineFormat line = lineFormat();
    const unsigned rate = pacing == Pacing::Line ? line.baudRate : ownRate;
    return CharacterTime(rate, line.bitsPerCharacter);
}

std::chrono::microseconds VirtualModule::silentInterval() const {
    const FdIo::LineFormat line = lineFormat();
    const auto character = CharacterTime(line.baudRate, line.bitsPerCharacter);
    const auto silence = std::chrono::duration_cast<std::chrono::microseconds>(character * 7 / 2);
    return std::max(silence, MinimumSilentInterval);
}
