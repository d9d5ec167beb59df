#include "sim/ModuleRegisters.h"

#include <algorithm>

namespace {

constexpr std::uint8_t HighestSlaveAddress = 247;
constexpr std::array<unsigned, 8> StandardBaudRates = {1200,  2400,  4800,  9600,
                                                       19200, 38400, 57600, 115200};

bool isRegister(int index) {
    return index >= 0 && index < RegisterCount;
}

bool isStandardBaudRate(unsigned rate) {
    return std::find(StandardBaudRates.begin(), StandardBaudRates.end(), rate) !=
           StandardBaudRates.end();
}

} // namespace

ModuleRegisters::ModuleRegisters(std::uint8_t address, unsigned baudRate)
    : m_address(address), m_baudRate(baudRate) {
    m_values[ModuleRegister::DisplayMode] = 0;
    m_values[ModuleRegister::OutputFactor] = 1;
    m_values[ModuleRegister::DeviceId] = address;
    m_values[ModuleRegister::BaudRate] =
        static_cast<std::uint16_t>(baudRate / ModuleCommand::BaudRateUnit);
}

std::uint16_t ModuleRegisters::Value(int index) const {
    return isRegister(index) ? m_values[static_cast<std::size_t>(index)] : 0;
}

void ModuleRegisters::Set(int index, std::uint16_t value) {
    if (isRegister(index)) {
        m_values[static_cast<std::size_t>(index)] = value;
    }
}

WriteOutcome ModuleRegisters::Write(int index, std::uint16_t value) {
    if (!isRegister(index)) {
        return WriteOutcome::IllegalAddress;
    }
    switch (index) {
    case ModuleRegister::OutputDisplay:
        // The output stage cannot drive more than 22 mA; larger values are held.
        m_values[ModuleRegister::OutputDisplay] = std::min(value, OutputFullScale);
        m_feedback.OutputWritten(m_values[ModuleRegister::OutputDisplay]);
        Sample();
        return WriteOutcome::Accepted;
    case ModuleRegister::CalibrationCommand:
        if (m_faults.ignoreCalibration) {
            // Taken, and left standing: the command is never carried out.
            m_values[ModuleRegister::CalibrationCommand] = value;
            return WriteOutcome::Accepted;
        }
        return runCalibrationCommand(value);
    case ModuleRegister::Relay:
        if (!m_faults.relayStuck) {
            m_values[ModuleRegister::Relay] = value;
        }
        if (m_faults.relayLoopback) {
            // The contact closes the input while the relay is on.
            m_values[ModuleRegister::DryContact] = m_values[ModuleRegister::Relay] & 1U;
        }
        return WriteOutcome::Accepted;
    default:
        // The device ID and baud rate are only stored here; Restart() applies them.
        m_values[static_cast<std::size_t>(index)] = value;
        return WriteOutcome::Accepted;
    }
}

WriteOutcome ModuleRegisters::runCalibrationCommand(std::uint16_t command) {
    switch (command) {
    case ModuleCommand::CalibrateInputZero:
        ++m_calibration.inputZeroCount;
        break;
    case ModuleCommand::CalibrateInput20mA:
        ++m_calibration.input20mACount;
        break;
    case ModuleCommand::CalibrateOutputSpan: {
        // The span itself was written to its register beforehand; a value
        // outside the trimming range means that step was missed.
        const std::uint16_t span = m_values[ModuleRegister::OutputSpan];
        if (span < ModuleCommand::OutputSpanMinimum || span > ModuleCommand::OutputSpanMaximum) {
            return WriteOutcome::IllegalValue;
        }
        m_calibration.outputSpan = span;
        ++m_calibration.outputSpanCount;
        m_values[ModuleRegister::OutputSpan] = 0;
        break;
    }
    default:
        return WriteOutcome::IllegalValue;
    }
    // A command register reads 0 again once the command has been carried out.
    m_values[ModuleRegister::CalibrationCommand] = 0;
    return WriteOutcome::Accepted;
}

void ModuleRegisters::Sample() {
    if (!m_loopback) {
        return;
    }
    const std::uint16_t output = m_values[ModuleRegister::OutputDisplay];
    m_values[ModuleRegister::FeedbackCurrent] = m_feedback.Measure(output);
    m_values[ModuleRegister::FeedbackDisplay] = m_feedback.Measure(output);
}

void ModuleRegisters::SetNoise(int amplitude, std::uint32_t seed) {
    m_feedback.SetNoise(amplitude, seed);
}

void ModuleRegisters::SetFeedbackErrors(const FeedbackErrors& errors) {
    m_feedback.SetErrors(errors);
}

void ModuleRegisters::SetLoopback(bool wired) {
    m_loopback = wired;
}

void ModuleRegisters::SetAddress(std::uint8_t address) {
    m_address = address;
    m_values[ModuleRegister::DeviceId] = address;
}

void ModuleRegisters::Restart() {
    const std::uint16_t deviceId = m_values[ModuleRegister::DeviceId];
    if (deviceId >= 1 && deviceId <= HighestSlaveAddress) {
        m_address = static_cast<std::uint8_t>(deviceId);
    } else {
        m_values[ModuleRegister::DeviceId] = m_address;
    }
    const unsigned rate = m_values[ModuleRegister::BaudRate] * ModuleCommand::BaudRateUnit;
    if (isStandardBaudRate(rate)) {
        m_baudRate = rate;
    } else {
        m_values[ModuleRegister::BaudRate] =
            static_cast<std::uint16_t>(m_baudRate / ModuleCommand::BaudRateUnit);
    }
    Sample();
}
