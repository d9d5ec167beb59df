#include "sim/SimulatedModule.h"

#include "platform/serial/PseudoTerminal.h"
#include "sim/ModuleServer.h"
#include "sim/ReplyTransmitter.h"

#include <cstring>

namespace {

// A start bit, eight data bits and two stop bits: the module's framing.
constexpr unsigned BitsPerCharacter = 11;

} // namespace

SimulatedModule::SimulatedModule(const VirtualModuleOptions& options)
    : m_options(options), m_module(options) {}

SimulatedModule::~SimulatedModule() {
    Stop();
}

QString SimulatedModule::Start() {
    if (pseudoTerminalsAvailable()) {
        const int error = m_module.Start();
        return error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(error));
    }
    // TCP has no line rate for the module to follow: its replies go at the
    // pace of the rate it was made for, as they would on its serial line.
    const auto characterTime = m_options.pacing == Pacing::Off
                                   ? std::chrono::nanoseconds::zero()
                                   : CharacterTime(m_options.baudRate, BitsPerCharacter);
    m_server =
        std::make_unique<ModuleServer>(m_module, ModuleServer::Framing::RtuOverTcp, characterTime);
    // Port 0: any free one, on the loopback interface only.
    if (const NetResult failure = m_server->Start({QStringLiteral("127.0.0.1"), 0})) {
        m_server.reset();
        return failure->text;
    }
    return {};
}

void SimulatedModule::Stop() {
    if (m_server) {
        m_server->Stop();
        m_server.reset();
    }
    m_module.Stop();
}

std::string SimulatedModule::PortPath() const {
    return m_server ? std::string() : m_module.PortPath();
}

std::optional<NetEndpoint> SimulatedModule::Endpoint() const {
    if (!m_server) {
        return std::nullopt;
    }
    return m_server->Bound();
}
