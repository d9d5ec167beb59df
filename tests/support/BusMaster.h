#pragma once
// An independent Modbus RTU master for tests: Debian's libmodbus polling one
// slave over a port (the master's port of an emulated bus, as a rule) from a
// thread of its own, reading the 20 holding registers again and again with
// a pause between polls, as a PLC does. Its input is purged before every
// poll, so noise or a late reply on the line does not carry over.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class BusMaster {
public:
    struct Options {
        std::string port;
        int baudRate = 9600;
        int address = 1;
        /// Polls to make; 0 polls until Stop().
        int polls = 0;
        std::chrono::milliseconds pause{20};
    };
    using Registers = std::array<std::uint16_t, 20>;

    BusMaster() = default;
    ~BusMaster();
    BusMaster(const BusMaster&) = delete;
    BusMaster& operator=(const BusMaster&) = delete;

    /// Opens the port and starts polling; false (with a reason) on failure.
    bool Start(const Options& options, std::string& reason);
    /// Ends polling after the poll under way and waits for it.
    void Stop();
    /// Waits until the polls asked for are made (or Stop()).
    void Wait();

    int Polls() const { return m_polls; }
    int Answered() const { return m_answered; }
    /// The registers of the last sound reply.
    Registers LastRead() const;

private:
    void run();

    Options m_options;
    struct _modbus* m_context = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stopping = false;
    std::atomic<int> m_polls = 0;
    std::atomic<int> m_answered = 0;
    mutable std::mutex m_mutex;
    Registers m_last{};
};
