#pragma once
// A port and a window for the poll engine that record everything it does to them.

#include "modbus/CRC16.h"
#include "modbus/RtuFrame.h"
#include "poll/PollPort.h"
#include "poll/PollView.h"

#include <QStringList>
#include <QTimer>
#include <array>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class FakePort : public PollPort {
public:
    bool Connected() const override { return connected; }
    void SetConnected(bool value) override {
        if (value && failOpen) {
            throw std::runtime_error("Unable to open com port");
        }
        if (!value && failClose) {
            throw std::runtime_error("Unable to close com port");
        }
        connected = value;
        ++connectedChanges;
    }
    QString Port() const override { return portName; }
    TBaudRate BaudRate() const override { return baudRate; }
    void WriteData(const void* buffer, int count) override {
        if (failWrite) {
            throw std::runtime_error("write failed");
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        written.emplace_back(bytes, bytes + count);
    }
    int ReadData(void* buffer, int count) override {
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        int taken = 0;
        while (taken < count && !incoming.empty()) {
            bytes[taken++] = incoming.front();
            incoming.pop_front();
        }
        return taken;
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

class FakeView : public PollView {
public:
    FakeView() { panels = {"Tx=", "0", "Er=", "0", ""}; }

    int AddressValue() const override { return address; }
    int CurrentColumn() const override { return column; }
    int CurrentRow() const override { return row; }
    void SetCellText(int c, int r, const QString& text) override {
        cells.at(static_cast<std::size_t>(c)).at(static_cast<std::size_t>(r)) = text;
        cellWrites.append(QStringLiteral("%1,%2").arg(c).arg(r));
    }
    void AppendMonitorLine(const QString& line) override { monitor.append(line); }
    void ClearMonitor() override { monitor.clear(); }
    QString PanelText(int panel) const override {
        return panels.at(static_cast<std::size_t>(panel));
    }
    void SetPanelText(int panel, const QString& text) override {
        panels.at(static_cast<std::size_t>(panel)) = text;
    }
    void SetRelayActive(bool active) override { relay = active; }
    void SetReadoutPrecision(Readout readout, int precision) override {
        readoutLog.append(QStringLiteral("P%1=%2").arg(int(readout)).arg(precision));
    }
    void SetReadoutValue(Readout readout, double value) override {
        readoutLog.append(QStringLiteral("V%1=%2").arg(int(readout)).arg(value));
    }
    void ShowOpenFailure(const QString& message, const QString& detail) override {
        failures.append(message + "|" + detail);
    }
    void ShowWriteFailure(const QString& reason) override { writeFailures.append(reason); }
    void ShowLineNote(const QString& note) override { lineNotes.append(note); }

    QString cell(int c, int r) const {
        return cells.at(static_cast<std::size_t>(c)).at(static_cast<std::size_t>(r));
    }
    int txCount() const { return panels[1].toInt(); }
    int erCount() const { return panels[3].toInt(); }

    int address = 1;
    int column = 0;
    int row = 0;
    std::array<std::array<QString, 11>, 5> cells;
    QStringList cellWrites;
    QStringList monitor;
    std::array<QString, 5> panels;
    bool relay = false;
    QStringList readoutLog;
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
    void WriteData(const void* buffer, int count) override {
        FakePort::WriteData(buffer, count);
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
    }
    std::uint16_t replies = 0;
    QObject context;
};
