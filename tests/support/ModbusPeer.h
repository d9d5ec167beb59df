#pragma once
// An independent Modbus RTU slave for tests: Debian's libmodbus
// serving on one pseudo-terminal, relayed byte for byte to a second one whose
// device path the master under test opens. The relay can drop or corrupt the
// reply to chosen requests, and hand every request straight back to the
// master first, as a two-wire RS-485 adapter with local echo does.

#include "platform/serial/PseudoTerminal.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

struct _modbus;
struct _modbus_mapping_t;

class ModbusPeer {
public:
    ModbusPeer() = default;
    ~ModbusPeer();
    ModbusPeer(const ModbusPeer&) = delete;
    ModbusPeer& operator=(const ModbusPeer&) = delete;

    // Starts the slave with the given address; false (with a reason) on failure.
    bool Start(int address, std::string& reason);
    void Stop();

    // The port the master under test opens.
    std::string MasterPortPath() const { return m_masterSide.SlavePath(); }

    void SetRegister(int index, std::uint16_t value);
    std::uint16_t Register(int index);

    // Requests are numbered from 1 in the order the relay passes them on.
    void DropReplyTo(int requestNumber);
    void CorruptReplyTo(int requestNumber);
    void SetEcho(bool echo) { m_echo = echo; }
    int RequestsSeen() const { return m_requests.load(); }

private:
    void serve();
    void relay();
    void forwardRequestBytes();
    void forwardReplyBytes();

    PseudoTerminal m_slaveSide;  // libmodbus opens its slave end
    PseudoTerminal m_masterSide; // the master under test opens its slave end
    _modbus* m_context = nullptr;
    _modbus_mapping_t* m_mapping = nullptr;
    std::mutex m_mutex; // guards the mapping and the fault sets
    std::set<int> m_dropped;
    std::set<int> m_corrupted;
    std::atomic<int> m_requests = 0;
    std::atomic<bool> m_echo = false;
    int m_requestBytes = 0;
    std::atomic<bool> m_stopping = false;
    int m_stopPipe[2] = {-1, -1};
    std::thread m_server;
    std::thread m_relay;
};
