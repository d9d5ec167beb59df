#pragma once
// An independent Modbus RTU slave for tests and benchmarks: libmodbus serving
// 20 holding registers on one pseudo-terminal, and a relay thread that joins
// that terminal's master to the master of the terminal the component uses.

#include "platform/PseudoTerminal.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <modbus/modbus.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

class ModbusSlavePeer {
public:
    static constexpr int registerCount = 20;

    /// Opens both terminals and starts the slave at the given address.
    bool start(int address, int baudRate = 9600) {
        if (m_slaveSide.Open() != 0 || m_masterSide.Open() != 0) {
            return false;
        }
        m_mapping = modbus_mapping_new(0, 0, registerCount, 0);
        m_context = modbus_new_rtu(m_slaveSide.SlavePath().c_str(), baudRate, 'N', 8, 2);
        if (m_mapping == nullptr || m_context == nullptr) {
            return false;
        }
        for (int index = 0; index < registerCount; ++index) {
            m_mapping->tab_registers[index] = std::uint16_t(1000 + 111 * index);
        }
        modbus_set_slave(m_context, address);
        // Short waits for a request, so that stopping is noticed.
        modbus_set_indication_timeout(m_context, 0, 50000);
        if (modbus_connect(m_context) != 0) {
            return false;
        }
        m_running = true;
        m_slave = std::thread([this] { serve(); });
        m_relay = std::thread([this] { relay(); });
        return true;
    }

    void stop() {
        m_running = false;
        if (m_slave.joinable()) {
            m_slave.join();
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
    }

    ~ModbusSlavePeer() { stop(); }

    /// The terminal the component under test opens.
    const std::string& portPath() const { return m_masterSide.SlavePath(); }
    std::uint16_t holdingRegister(int index) const {
        return __atomic_load_n(&m_mapping->tab_registers[index], __ATOMIC_ACQUIRE);
    }
    int requestsServed() const { return m_served; }

private:
    void serve() {
        std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (m_running) {
            const int length = modbus_receive(m_context, query);
            if (length > 0) {
                modbus_reply(m_context, query, length, m_mapping);
                ++m_served;
            }
        }
    }

    static void copy(int from, int to) {
        std::uint8_t buffer[512];
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        for (ssize_t done = 0; got > 0 && done < got;) {
            const ssize_t written = ::write(to, buffer + done, std::size_t(got - done));
            if (written > 0) {
                done += written;
            } else if (errno != EAGAIN && errno != EINTR) {
                return;
            }
        }
    }

    void relay() {
        pollfd ends[2] = {{m_slaveSide.MasterFd(), POLLIN, 0},
                          {m_masterSide.MasterFd(), POLLIN, 0}};
        while (m_running) {
            if (::poll(ends, 2, 20) <= 0) {
                continue;
            }
            if (ends[0].revents & POLLIN) {
                copy(ends[0].fd, ends[1].fd);
            }
            if (ends[1].revents & POLLIN) {
                copy(ends[1].fd, ends[0].fd);
            }
        }
    }

    PseudoTerminal m_slaveSide;
    PseudoTerminal m_masterSide;
    modbus_t* m_context = nullptr;
    modbus_mapping_t* m_mapping = nullptr;
    std::atomic<bool> m_running = false;
    std::atomic<int> m_served = 0;
    std::thread m_slave;
    std::thread m_relay;
};
