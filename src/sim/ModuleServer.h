#pragma once
// The virtual module served over TCP, as a Modbus TCP device does, or as a
// serial device server passes the module's RTU line through (RTU over TCP).
// One client at a time: a second one waits until the first has gone. The
// module's registers, faults and feedback are the same as on its port; the
// server only carries requests and replies.
//
//     VirtualModule module(options);
//     ModuleServer server(module, ModuleServer::Framing::ModbusTcp);
//     server.Start({"127.0.0.1", 0});   // port 0: any free one, see Bound()
//
// Over Modbus TCP the faults that bend a reply's bytes take the shape a TCP
// frame allows: wrong-address sets the next unit id, wrong-crc (there is no
// CRC) gives the reply the next request's transaction id, and the trailing
// and burst filler follows the frame as bytes of no frame at all.

#include "platform/net/NetEndpoint.h"
#include "platform/net/NetError.h"
#include "platform/net/TcpServer.h"
#include "platform/system/EventFd.h"
#include "sim/RequestAssembler.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class VirtualModule;

class ModuleServer {
public:
    enum class Framing { ModbusTcp, RtuOverTcp };

    /// characterTime paces each reply byte as on a serial line of that
    /// rate (zero: the reply goes in one piece).
    ModuleServer(VirtualModule& module, Framing framing,
                 std::chrono::nanoseconds characterTime = std::chrono::nanoseconds::zero());
    ~ModuleServer();
    ModuleServer(const ModuleServer&) = delete;
    ModuleServer& operator=(const ModuleServer&) = delete;

    /// Listens on the endpoint and serves from a thread of its own.
    NetResult Start(const NetEndpoint& endpoint);
    void Stop();
    /// Where it listens, with the port bound.
    NetEndpoint Bound() const;

    /// The server goes away: its client and its listening socket are closed,
    /// so a client finds the connection reset and then refused.
    void Unplug();
    /// It comes back on the same endpoint.
    NetResult PlugIn();

private:
    void serve();
    bool serveClient();
    void takeModbusTcp(const std::uint8_t* bytes, std::size_t count);
    void takeRtu(const std::uint8_t* bytes, std::size_t count);
    void answer(const std::vector<std::uint8_t>& request, std::uint16_t transaction);
    bool send(std::span<const std::uint8_t> bytes);

    VirtualModule& m_module;
    Framing m_framing;
    std::chrono::nanoseconds m_characterTime;
    NetEndpoint m_endpoint;
    TcpListener m_listener;
    EventFd m_stop;
    std::thread m_thread;
    mutable std::mutex m_mutex; // guards m_bound
    NetEndpoint m_bound;

    // Owned by the server thread while it runs.
    TcpStream m_client;
    std::vector<std::uint8_t> m_frame; // Modbus TCP: the frame being assembled
    RequestAssembler m_assembler;      // RTU over TCP
    bool m_awaitingSilence = false;
};
