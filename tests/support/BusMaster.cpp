#include "tests/support/BusMaster.h"

#include <modbus.h>

#include <cerrno>

namespace {

constexpr int ReplyTimeoutMicroseconds = 500000;

} // namespace

BusMaster::~BusMaster() {
    Stop();
}

bool BusMaster::Start(const Options& options, std::string& reason) {
    m_options = options;
    m_context = modbus_new_rtu(options.port.c_str(), options.baudRate, 'N', 8, 2);
    if (m_context == nullptr) {
        reason = "libmodbus refused the context";
        return false;
    }
    modbus_set_slave(m_context, options.address);
    modbus_set_response_timeout(m_context, 0, ReplyTimeoutMicroseconds);
    if (modbus_connect(m_context) != 0) {
        reason = std::string("libmodbus cannot open the port: ") + modbus_strerror(errno);
        modbus_free(m_context);
        m_context = nullptr;
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void BusMaster::run() {
    while (!m_stopping && (m_options.polls == 0 || m_polls < m_options.polls)) {
        modbus_flush(m_context);
        Registers values{};
        const int read =
            modbus_read_registers(m_context, 0, static_cast<int>(values.size()), values.data());
        ++m_polls;
        if (read == static_cast<int>(values.size())) {
            ++m_answered;
            const std::lock_guard lock(m_mutex);
            m_last = values;
        }
        std::this_thread::sleep_for(m_options.pause);
    }
}

void BusMaster::Wait() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void BusMaster::Stop() {
    m_stopping = true;
    Wait();
    if (m_context != nullptr) {
        modbus_close(m_context);
        modbus_free(m_context);
        m_context = nullptr;
    }
}

BusMaster::Registers BusMaster::LastRead() const {
    const std::lock_guard lock(m_mutex);
    return m_last;
}
