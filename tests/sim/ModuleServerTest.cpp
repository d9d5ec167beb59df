// The virtual module served over TCP: read and written by libmodbus's own
// Modbus TCP master, its faults in the shape a TCP frame allows, RTU over
// TCP for a raw client, one client at a time, and a server that goes away
// and comes back.

#include "sim/ModuleServer.h"
#include "modbus/CRC16.h"
#include "modbus/Module.h"
#include "sim/VirtualModule.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A plain TCP client to the loopback interface.
class RawTcpClient {
public:
    explicit RawTcpClient(int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawTcpClient() { ::close(m_fd); }
    bool connected() const { return m_connected; }
    bool send(const Bytes& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    /// Reads until count bytes are in, the peer closes or the time is up.
    Bytes receive(std::size_t count, int milliseconds = 2000) {
        Bytes bytes;
        pollfd ready{m_fd, POLLIN, 0};
        while (bytes.size() < count && ::poll(&ready, 1, milliseconds) == 1) {
            std::uint8_t buffer[512];
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                m_closed = true;
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }
    bool closed() const { return m_closed; }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
};

Bytes rtuReadRequest(std::uint8_t address) {
    Bytes request{address, 3, 0, 0, 0, 20};
    const std::uint16_t crc = Crc16Of(request.data(), request.size());
    request.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    request.push_back(static_cast<std::uint8_t>(crc >> 8));
    return request;
}

Bytes mbapReadRequest(std::uint16_t transaction) {
    return {static_cast<std::uint8_t>(transaction >> 8),
            static_cast<std::uint8_t>(transaction),
            0,
            0,
            0,
            6,
            1,
            3,
            0,
            0,
            0,
            20};
}

class ServedModule : public ::testing::Test {
protected:
    void serve(ModuleServer::Framing framing) {
        VirtualModuleOptions options;
        options.noise = 0;
        module = std::make_unique<VirtualModule>(options);
        server = std::make_unique<ModuleServer>(*module, framing);
        ASSERT_EQ(server->Start({"127.0.0.1", 0}), std::nullopt);
        port = server->Bound().port;
        ASSERT_GT(port, 0);
    }

    std::unique_ptr<VirtualModule> module;
    std::unique_ptr<ModuleServer> server;
    int port = 0;
};

} // namespace

TEST_F(ServedModule, LibmodbusReadsAndWritesItOverModbusTcpAndSeesItsFaults) {
    serve(ModuleServer::Framing::ModbusTcp);
    modbus_t* master = modbus_new_tcp("127.0.0.1", port);
    ASSERT_NE(master, nullptr);
    ASSERT_EQ(modbus_connect(master), 0) << modbus_strerror(errno);
    modbus_set_slave(master, 1);
    modbus_set_response_timeout(master, 0, 400'000);
    std::uint16_t registers[RegisterCount] = {};
    ASSERT_EQ(modbus_read_registers(master, 0, RegisterCount, registers), RegisterCount)
        << modbus_strerror(errno);
    EXPECT_EQ(registers[ModuleRegister::BaudRate], 96);
    ASSERT_EQ(modbus_write_register(master, ModuleRegister::OutputDisplay, 1500), 1);
    EXPECT_EQ(module->Register(ModuleRegister::OutputDisplay), 1500);

    // A reply split into pieces is still one reply to libmodbus.
    module->Faults().Arm(Fault::SplitReply, 1);
    EXPECT_EQ(modbus_read_registers(master, 0, RegisterCount, registers), RegisterCount)
        << modbus_strerror(errno);
    EXPECT_EQ(registers[ModuleRegister::OutputDisplay], 1500);
    module->Faults().Arm(Fault::ExceptionReply, 1);
    EXPECT_EQ(modbus_read_registers(master, 0, RegisterCount, registers), -1);
    EXPECT_EQ(errno, EMBXSFAIL);
    // With no CRC to break, the reply carries another transaction's id.
    module->Faults().Arm(Fault::WrongCrc, 1);
    EXPECT_EQ(modbus_read_registers(master, 0, RegisterCount, registers), -1);
    modbus_close(master);
    modbus_free(master);
}

TEST_F(ServedModule, RtuOverTcpPassesTheFramesWithTheirCrc) {
    serve(ModuleServer::Framing::RtuOverTcp);
    RawTcpClient client(port);
    ASSERT_TRUE(client.connected());
    const Bytes request = rtuReadRequest(1);
    // Split by TCP as it may be: the request is still answered once.
    ASSERT_TRUE(client.send(Bytes(request.begin(), request.begin() + 3)));
    ASSERT_TRUE(client.send(Bytes(request.begin() + 3, request.end())));
    const Bytes reply = client.receive(45);
    ASSERT_EQ(reply.size(), 45u);
    EXPECT_EQ(Crc16Of(reply.data(), reply.size()), 0) << "a right CRC sums to zero";
    EXPECT_EQ(reply[0], 1);
    EXPECT_TRUE(client.receive(1, 200).empty());
    // Another slave's request goes unanswered.
    ASSERT_TRUE(client.send(rtuReadRequest(2)));
    EXPECT_TRUE(client.receive(1, 200).empty());
}

TEST_F(ServedModule, ServesOneClientAtATimeAndGoesAwayAndComesBack) {
    serve(ModuleServer::Framing::ModbusTcp);
    auto first = std::make_unique<RawTcpClient>(port);
    RawTcpClient second(port);
    ASSERT_TRUE(first->connected());
    ASSERT_TRUE(second.connected()); // waiting in the listener's queue
    ASSERT_TRUE(second.send(mbapReadRequest(7)));
    ASSERT_TRUE(first->send(mbapReadRequest(1)));
    EXPECT_EQ(first->receive(49).size(), 49u);
    EXPECT_TRUE(second.receive(1, 300).empty()) << "the second waits for the first to leave";
    first.reset();
    const Bytes reply = second.receive(49);
    ASSERT_EQ(reply.size(), 49u);
    EXPECT_EQ(reply[1], 7);

    server->Unplug();
    second.receive(1, 1000);
    EXPECT_TRUE(second.closed());
    EXPECT_FALSE(RawTcpClient(port).connected());
    ASSERT_EQ(server->PlugIn(), std::nullopt);
    RawTcpClient again(port);
    ASSERT_TRUE(again.connected());
    ASSERT_TRUE(again.send(mbapReadRequest(9)));
    EXPECT_EQ(again.receive(49).size(), 49u);
}
