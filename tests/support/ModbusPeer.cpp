#include "tests/support/ModbusPeer.h"

#include <modbus.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int RequestSize = 8; // the master under test only sends 8-byte requests
constexpr int RegisterCount = 20;

} // namespace

ModbusPeer::~ModbusPeer() {
    Stop();
}

bool ModbusPeer::Start(int address, std::string& reason) {
    if (m_slaveSide.Open() != 0 || m_masterSide.Open() != 0) {
        reason = "cannot create pseudo-terminals";
        return false;
    }
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0) {
        reason = "cannot create a pipe";
        return false;
    }
    m_context = modbus_new_rtu(m_slaveSide.SlavePath().c_str(), 9600, 'N', 8, 2);
    m_mapping = modbus_mapping_new(0, 0, RegisterCount, 0);
    if (m_context == nullptr || m_mapping == nullptr) {
        reason = "libmodbus refused the context";
        return false;
    }
    modbus_set_slave(m_context, address);
    // Wake up now and then to notice Stop().
    modbus_set_indication_timeout(m_context, 0, 100000);
    if (modbus_connect(m_context) != 0) {
        reason = std::string("libmodbus cannot open the port: ") + modbus_strerror(errno);
        return false;
    }
    m_server = std::thread([this] { serve(); });
    m_relay = std::thread([this] { relay(); });
    return true;
}

void ModbusPeer::Stop() {
    m_stopping = true;
    if (m_stopPipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(m_stopPipe[1], "x", 1);
    }
    if (m_server.joinable()) {
        m_server.join();
    }
    if (m_relay.joinable()) {
        m_relay.join();
    }
    if (m_context != nullptr) {
        modbus_close(m_context);
        modbus_free(m_context);
        m_context = nullptr;
    }
    if (m_mapping != nullptr) {
        modbus_mapping_free(m_mapping);
        m_mapping = nullptr;
    }
    for (int& end : m_stopPipe) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

void ModbusPeer::SetRegister(int index, std::uint16_t value) {
    const std::lock_guard lock(m_mutex);
    m_mapping->tab_registers[index] = value;
}

std::uint16_t ModbusPeer::Register(int index) {
    const std::lock_guard lock(m_mutex);
    return m_mapping->tab_registers[index];
}

void ModbusPeer::DropReplyTo(int requestNumber) {
    const std::lock_guard lock(m_mutex);
    m_dropped.insert(requestNumber);
}

void ModbusPeer::CorruptReplyTo(int requestNumber) {
    const std::lock_guard lock(m_mutex);
    m_corrupted.insert(requestNumber);
}

void ModbusPeer::serve() {
    std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> request{};
    while (!m_stopping) {
        const int length = modbus_receive(m_context, request.data());
        if (length > 0) {
            const std::lock_guard lock(m_mutex);
            modbus_reply(m_context, request.data(), length, m_mapping);
        }
    }
}

void ModbusPeer::relay() {
    while (!m_stopping) {
        std::array<pollfd, 3> watched = {{{m_masterSide.MasterFd(), POLLIN, 0},
                                          {m_slaveSide.MasterFd(), POLLIN, 0},
                                          {m_stopPipe[0], POLLIN, 0}}};
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watched[2].revents != 0) {
            return;
        }
        if (watched[0].revents & POLLIN) {
            forwardRequestBytes();
        }
        if (watched[1].revents & POLLIN) {
            forwardReplyBytes();
        }
        if ((watched[0].revents | watched[1].revents) & (POLLHUP | POLLERR)) {
            // Both pairs hold their slave ends, so a hang-up is transient; do not spin.
            ::usleep(1000);
        }
    }
}

void ModbusPeer::forwardRequestBytes() {
    std::array<std::uint8_t, 256> buffer{};
    const ssize_t got = ::read(m_masterSide.MasterFd(), buffer.data(), buffer.size());
    if (got <= 0) {
        return;
    }
    m_requestBytes += static_cast<int>(got);
    m_requests = m_requestBytes / RequestSize;
    if (m_echo) {
        [[maybe_unused]] const ssize_t echoed =
            ::write(m_masterSide.MasterFd(), buffer.data(), static_cast<std::size_t>(got));
    }
    [[maybe_unused]] const ssize_t sent =
        ::write(m_slaveSide.MasterFd(), buffer.data(), static_cast<std::size_t>(got));
}

void ModbusPeer::forwardReplyBytes() {
    std::array<std::uint8_t, 512> buffer{};
    const ssize_t got = ::read(m_slaveSide.MasterFd(), buffer.data(), buffer.size());
    if (got <= 0) {
        return;
    }
    const int request = m_requests.load();
    {
        const std::lock_guard lock(m_mutex);
        if (m_dropped.count(request) != 0) {
            return;
        }
        if (m_corrupted.count(request) != 0) {
            buffer[static_cast<std::size_t>(got) - 1] ^= 0x5A;
        }
    }
    [[maybe_unused]] const ssize_t sent =
        ::write(m_masterSide.MasterFd(), buffer.data(), static_cast<std::size_t>(got));
}
