#pragma once
// The virtual module as the tool's --simulate uses it, in process: on a
// pseudo-terminal, which the tool opens as its serial port, where the system
// has them; else (Windows) served as RTU over TCP on a loopback port, which
// the tool reaches as a network line. The choice is made here, by what the
// system can do, and nowhere else.
//
//     SimulatedModule simulated(options);
//     simulated.Start();                       // empty, or why not
//     if (simulated.Endpoint()) ...            // a network line to it
//     else open(simulated.PortPath(), ...);    // its serial port

#include "platform/net/NetEndpoint.h"
#include "sim/VirtualModule.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>

class ModuleServer;

class SimulatedModule {
public:
    explicit SimulatedModule(const VirtualModuleOptions& options);
    ~SimulatedModule();
    SimulatedModule(const SimulatedModule&) = delete;
    SimulatedModule& operator=(const SimulatedModule&) = delete;

    /// Starts serving: nothing, or the system's words for why it cannot.
    QString Start();
    void Stop();

    VirtualModule& Module() { return m_module; }
    /// The serial port the tool opens; empty when served over TCP.
    std::string PortPath() const;
    /// Where the module is served over TCP (RTU over TCP); none when it is
    /// on its port.
    std::optional<NetEndpoint> Endpoint() const;

private:
    VirtualModuleOptions m_options;
    VirtualModule m_module;
    std::unique_ptr<ModuleServer> m_server;
};
