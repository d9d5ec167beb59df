#pragma once
// A port and a window for the poll engine that record everything it does to them.

#include "modbus/CRC16.h"
#include "modbus/RtuFrame.h"
#include "poll/PollCycle.h"
#include "poll/PollPort.h"
#include "poll/PollView.h"

#include <QStringList>
#include <QTimer>
#include <array>
#include <chrono>
#include <deque>
#include <optional>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class FakePort : public PollPort {
public:
    bool Connected() const override { return connected; }
    PortResult Open() override {
        if (failOpen) {
            return PortError{PortError::Kind::Refused, QStringLiteral("Unable to open com port")};
        }
        connected = true;
        ++connectedChanges;
        return std::nullopt;
    }
    PortResult Close() override {
        if (failClose) {
            return PortError{PortError::Kind::Refused, QStringLiteral("Unable to close com port")};
        }
        connected = false;
        ++connectedChanges;
        return std::nullopt;
    }
    QString Port() const override { return portName; }
    TBaudRate BaudRate() const override { return baudRate; }
    PortResult Write(const std::uint8_t* bytes, int count) override {
        if (failWrite) {
            return PortError{PortError::Kind::Refused, QStringLiteral("write failed")};
        }
        written.emplace_back(bytes, bytes + count);
        return std::nullopt;
    }
    PortRead Read(std::uint8_t* bytes, int count) override {
        int taken = 0;
        while (taken < count && !incoming.empty()) {
            bytes[taken++] = incoming.front();
            incoming.pop_front();
        }
        return {taken, std::nullopt};
    }
    void SetOnRxChar(std::function<void(int)> handler) override { onRxChar = std::move(handler); }
    std::chrono::steady_clock::time_point LastRxTime() const override { return rxTime; }

    // Puts bytes on the line and reports them in one received-characters event,
    // stamped as having arrived at the given moment.
    void deliver(const Bytes& bytes,
                 std::chrono::steady_clock::time_point arrived = std::chrono::steady_clock::now()) {
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
        rxTime = arrived;
        if (onRxChar) {
            onRxChar(static_cast<int>(bytes.size()));
        }
    }

    bool connected = false;
    bool failOpen = false;
    bool failClose = false;
    bool failWrite = false;
    int connectedChanges = 0;
    QString portName = QStringLiteral("COM3");
    TBaudRate baudRate = br9600;
    std::vector<Bytes> written;
    std::deque<std::uint8_t> incoming;
    std::chrono::steady_clock::time_point rxTime;
    std::function<void(int)> onRxChar;
};

// Records what the engine shows: the counters, the registers of the last
// read shown, the polled port, the monitor, failures and notes.
class FakeView : public PollView {
public:
    void ShowCounters(std::uint64_t requests, std::uint64_t misses) override {
        tx = static_cast<int>(requests);
        er = static_cast<int>(misses);
    }
    void ShowRegisters(const RegisterValues& values) override { registers = values; }
    void ShowPolledPort(const QString& port) override { polledPort = port; }
    void AppendMonitorLine(const QString& line) override { monitor.append(line); }
    void ClearMonitor() override { monitor.clear(); }
    void ShowOpenFailure(const PortError& error) override {
        failures.append(OpenFailureText() + "|" + error.text);
    }
    void ShowWriteFailure(const std::optional<PortError>& error) override {
        writeFailures.append(error ? error->text : QString());
    }
    void ShowLineNote(const QString& note) override { lineNotes.append(note); }

    /// The value last shown for a register, as text; empty before the first read.
    QString value(int registerIndex) const {
        return registers ? QString::number((*registers)[static_cast<std::size_t>(registerIndex)])
                         : QString();
    }
    int txCount() const { return tx; }
    int erCount() const { return er; }

    int tx = 0;
    int er = 0;
    std::optional<RegisterValues> registers;
    QString polledPort;
    QStringList monitor;
    QStringList failures;
    QStringList writeFailures;
    QStringList lineNotes;
};

// A read reply from address carrying the 20 given registers, with a right CRC.
inline Bytes makeReadReply(std::uint8_t address, const std::array<std::uint16_t, 20>& registers) {
    Bytes reply{address, FunctionReadHolding, ReadReplyByteCount};
    for (std::uint16_t value : registers) {
        reply.push_back(static_cast<std::uint8_t>(value >> 8));
        reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    const std::uint16_t crc = Crc16Of(reply.data(), reply.size());
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    return reply;
}

inline std::array<std::uint16_t, 20> countingRegisters(std::uint16_t first) {
    std::array<std::uint16_t, 20> registers{};
    for (std::size_t i = 0; i < registers.size(); ++i) {
        registers[i] = static_cast<std::uint16_t>(first + i);
    }
    return registers;
}

// A port whose slave answers every request on the next turn of the event loop.
class EchoingPort : public FakePort {
public:
    PortResult Write(const std::uint8_t* bytes, int count) override {
        if (PortResult failure = FakePort::Write(bytes, count)) {
            return failure;
        }
        const Bytes request = written.back();
        // The context object cancels answers still pending when the port goes away.
        QTimer::singleShot(0, &context, [this, request] {
            if (!connected) {
                return;
            }
            if (request[1] == FunctionWriteSingle) {
                deliver(request);
            } else {
                deliver(makeReadReply(request[0], countingRegisters(++replies)));
            }
        });
        return std::nullopt;
    }
    std::uint16_t replies = 0;
    QObject context;
};
