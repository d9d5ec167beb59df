#include "sim/ModuleServer.h"

#include "modbus/MbapFrame.h"
#include "platform/serial/FdIo.h"
#include "sim/ReplyTransmitter.h"
#include "sim/SlaveProtocol.h"
#include "sim/VirtualModule.h"

#include <array>

namespace {

// A client that leaves the replies unread has them dropped after this long
// rather than holding up the module.
constexpr std::chrono::milliseconds StallLimit{200};
// The silence that ends an RTU request of unknown length, as at 19200 baud
// and above on a serial line.
constexpr std::chrono::microseconds SilentInterval{1750};
constexpr std::size_t ReadChunkSize = 512;

} // namespace

ModuleServer::ModuleServer(VirtualModule& module, Framing framing,
                           std::chrono::nanoseconds characterTime)
    : m_module(module), m_framing(framing), m_characterTime(characterTime) {}

ModuleServer::~ModuleServer() {
    Stop();
}

NetResult ModuleServer::Start(const NetEndpoint& endpoint) {
    Stop();
    m_endpoint = endpoint;
    if (const int error = m_stop.Open(); error != 0) {
        return NetErrorOf(error);
    }
    if (NetResult failure = PlugIn()) {
        m_stop.Close();
        return failure;
    }
    // A server asked for any free port comes back on the one it got.
    m_endpoint = Bound();
    return std::nullopt;
}

void ModuleServer::Stop() {
    Unplug();
    m_stop.Close();
}

NetEndpoint ModuleServer::Bound() const {
    const std::lock_guard lock(m_mutex);
    return m_bound;
}

void ModuleServer::Unplug() {
    if (m_thread.joinable()) {
        m_stop.Signal();
        m_thread.join();
        m_stop.Clear();
    }
    m_client.Close();
    m_listener.Close();
}

NetResult ModuleServer::PlugIn() {
    if (m_thread.joinable() || !m_stop.IsOpen()) {
        return std::nullopt;
    }
    if (NetResult failure = m_listener.Listen(m_endpoint)) {
        return failure;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_bound = m_listener.Bound();
    }
    m_thread = std::thread([this] { serve(); });
    return std::nullopt;
}

void ModuleServer::serve() {
    for (;;) {
        if (m_client.IsOpen()) {
            if (!serveClient()) {
                return;
            }
            continue;
        }
        // Clients wait in the listener's queue while one is being served.
        if (WaitReadable(m_listener.Handle(), m_stop.Fd(), std::nullopt) == SocketWait::Stopped) {
            return;
        }
        if (auto client = m_listener.Accept()) {
            m_client = std::move(*client);
            m_frame.clear();
            m_assembler.Clear();
            m_awaitingSilence = false;
        }
    }
}

bool ModuleServer::serveClient() {
    std::optional<std::chrono::microseconds> timeout;
    if (m_awaitingSilence) {
        timeout = SilentInterval;
    }
    switch (WaitReadable(m_client.Handle(), m_stop.Fd(), timeout)) {
    case SocketWait::Stopped:
        return false;
    case SocketWait::TimedOut:
        m_awaitingSilence = false;
        while (auto request = m_assembler.LineIdle()) {
            answer(*request, 0);
        }
        return true;
    case SocketWait::Failed:
        m_client.Close();
        return true;
    case SocketWait::Readable:
        break;
    }
    std::array<std::uint8_t, ReadChunkSize> buffer{};
    const auto received = m_client.Receive(buffer);
    if (!received) {
        m_client.Close(); // the client has gone; the next may come
        return true;
    }
    if (m_framing == Framing::ModbusTcp) {
        takeModbusTcp(buffer.data(), *received);
    } else {
        takeRtu(buffer.data(), *received);
    }
    return true;
}

void ModuleServer::takeModbusTcp(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t index = 0; index < count && m_client.IsOpen(); ++index) {
        m_frame.push_back(bytes[index]);
        switch (CheckMbapFrame(m_frame.data(), m_frame.size())) {
        case MbapCheck::Incomplete:
            break;
        case MbapCheck::Whole:
            answer(RtuFromMbap(m_frame.data(), m_frame.size()),
                   ReadMbapHeader(m_frame.data()).transaction);
            m_frame.clear();
            break;
        case MbapCheck::BadProtocol:
        case MbapCheck::BadLength:
            // Not Modbus TCP: a device drops such a client.
            m_client.Close();
            m_frame.clear();
            break;
        }
    }
}

void ModuleServer::takeRtu(const std::uint8_t* bytes, std::size_t count) {
    m_assembler.Append(std::span(bytes, count));
    m_awaitingSilence = true;
    while (auto request = m_assembler.TakeRequest()) {
        answer(*request, 0);
    }
}

void ModuleServer::answer(const std::vector<std::uint8_t>& request, std::uint16_t transaction) {
    auto answered = m_module.Serve(request);
    if (!answered || !m_client.IsOpen()) {
        return;
    }
    const FaultPlan& plan = answered->plan;
    std::vector<std::uint8_t> reply;
    if (m_framing == Framing::RtuOverTcp) {
        reply = answered->reply;
        ApplyReplyFaults(reply, plan);
    } else {
        const std::vector<std::uint8_t>& rtu = answered->reply;
        const bool wrongId = plan.Has(Fault::WrongCrc);
        reply = MbapFromRtu(static_cast<std::uint16_t>(transaction + (wrongId ? 1 : 0)), rtu.data(),
                            rtu.size());
        if (plan.Has(Fault::WrongAddress)) {
            ++reply[MbapHeaderSize - 1];
        }
        std::size_t filler = plan.Has(Fault::TrailingBytes) ? plan.trailingByteCount : 0;
        if (plan.Has(Fault::Burst) && plan.burstSize > reply.size() + filler) {
            filler = plan.burstSize - reply.size();
        }
        reply.insert(reply.end(), filler, 0xFF);
    }
    if (plan.Has(Fault::LateReply) && FdIo::SleepUnlessStopped(m_stop.Fd(), plan.lateDelay)) {
        return;
    }
    TransmitPlan transmit;
    transmit.characterTime = m_characterTime;
    if (plan.Has(Fault::SplitReply)) {
        transmit.chunkSize = plan.splitChunkSize;
        transmit.chunkGap = plan.splitGap;
    }
    const ReplyWriter write = [this](std::span<const std::uint8_t> bytes) { return send(bytes); };
    if (TransmitReply(write, m_stop.Fd(), reply, transmit)) {
        m_module.ReplySent(reply);
    }
}

bool ModuleServer::send(std::span<const std::uint8_t> bytes) {
    if (!m_client.IsOpen()) {
        return false;
    }
    if (m_client.SendAll(bytes, m_stop.Fd(), StallLimit) < bytes.size()) {
        m_client.Close();
        return false;
    }
    return true;
}
