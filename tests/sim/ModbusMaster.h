#pragma once
// An independent master for the module's tests: libmodbus on the module's
// port, wrapped so that every test gets a fresh, configured connection.

#include <modbus.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>

class ModbusMaster {
public:
    /// Long enough for a loaded machine; tests that expect a time-out set a short one.
    static constexpr std::chrono::milliseconds GenerousTimeout{3000};

    ModbusMaster(const std::string& path, int slave, int baudRate = 9600) {
        m_context = modbus_new_rtu(path.c_str(), baudRate, 'N', 8, 2);
        if (m_context == nullptr) {
            return;
        }
        modbus_set_slave(m_context, slave);
        SetResponseTimeout(GenerousTimeout);
        // Between two bytes of a reply as well: a busy machine may hold the
        // module up for longer than libmodbus's half a second.
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(GenerousTimeout);
        modbus_set_byte_timeout(m_context, static_cast<std::uint32_t>(seconds.count()), 0);
        if (modbus_connect(m_context) != 0) {
            modbus_free(m_context);
            m_context = nullptr;
        }
    }
    ~ModbusMaster() {
        if (m_context != nullptr) {
            modbus_close(m_context);
            modbus_free(m_context);
        }
    }
    ModbusMaster(const ModbusMaster&) = delete;
    ModbusMaster& operator=(const ModbusMaster&) = delete;

    bool IsConnected() const { return m_context != nullptr; }
    modbus_t* Context() const { return m_context; }

    void SetResponseTimeout(std::chrono::milliseconds timeout) {
        const auto microseconds = std::chrono::microseconds(timeout).count();
        modbus_set_response_timeout(m_context, static_cast<std::uint32_t>(microseconds / 1000000),
                                    static_cast<std::uint32_t>(microseconds % 1000000));
    }

    /// Reads registers first..first+count-1; returns libmodbus's result and
    /// keeps errno of a failure in LastError().
    int Read(int first, int count, std::uint16_t* values) {
        const int result = modbus_read_registers(m_context, first, count, values);
        m_lastError = result < 0 ? errno : 0;
        return result;
    }

    std::array<std::uint16_t, 20> ReadAll() {
        std::array<std::uint16_t, 20> values{};
        m_allRead = Read(0, 20, values.data()) == 20;
        return values;
    }
    bool LastReadAllSucceeded() const { return m_allRead; }

    int Write(int target, std::uint16_t value) {
        const int result = modbus_write_register(m_context, target, value);
        m_lastError = result < 0 ? errno : 0;
        return result;
    }

    int LastError() const { return m_lastError; }
    /// libmodbus prints every frame it sends ("[01][03]...") and receives
    /// ("<01><03>...") on standard output, its complaints on standard error.
    void SetDebug(bool on) { modbus_set_debug(m_context, on ? TRUE : FALSE); }
    void Flush() { modbus_flush(m_context); }

private:
    modbus_t* m_context = nullptr;
    int m_lastError = 0;
    bool m_allRead = false;
};
