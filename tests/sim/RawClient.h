#pragma once
// A client that opens the module's port by hand, for tests about the bytes on
// the line: how requests may be split, what garbage does, how replies arrive.

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

class RawClient {
public:
    using Clock = std::chrono::steady_clock;

    explicit RawClient(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~RawClient() { Close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    /// Sets the line's rate (a standard one) and 8N2 framing.
    bool SetLine(speed_t speed) {
        termios settings{};
        if (tcgetattr(m_fd, &settings) != 0) {
            return false;
        }
        cfmakeraw(&settings);
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
        settings.c_cflag |= CSTOPB;
        return tcsetattr(m_fd, TCSANOW, &settings) == 0;
    }

    bool Send(const std::vector<std::uint8_t>& bytes) {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    /// One read after waiting up to timeout for data; empty when none came.
    std::vector<std::uint8_t> ReadOnce(std::chrono::milliseconds timeout) {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(timeout.count())) != 1) {
            return {};
        }
        std::vector<std::uint8_t> bytes(4096);
        const ssize_t count = ::read(m_fd, bytes.data(), bytes.size());
        bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        return bytes;
    }

    /// Collects bytes until expected have come, or no byte comes within
    /// patience, or the line stays quiet for quiet after a byte; records when
    /// the first and the last bytes arrived.
    std::vector<std::uint8_t> Collect(std::size_t expected, std::chrono::milliseconds quiet,
                                      std::chrono::milliseconds patience = std::chrono::seconds{
                                          3}) {
        std::vector<std::uint8_t> collected;
        m_reads = 0;
        while (collected.size() < expected) {
            const auto bytes = ReadOnce(collected.empty() ? patience : quiet);
            if (bytes.empty()) {
                break;
            }
            const auto now = Clock::now();
            if (collected.empty()) {
                m_firstByte = now;
            }
            m_lastByte = now;
            ++m_reads;
            collected.insert(collected.end(), bytes.begin(), bytes.end());
        }
        return collected;
    }

    Clock::duration Spread() const { return m_lastByte - m_firstByte; }
    Clock::time_point LastByteTime() const { return m_lastByte; }
    int Reads() const { return m_reads; }

private:
    int m_fd = -1;
    Clock::time_point m_firstByte;
    Clock::time_point m_lastByte;
    int m_reads = 0;
};
