#pragma once
// The analog signal module's 20 holding registers and how the module reacts to
// writes: the output is held to its range and, as if the output were wired back
// to the input, shows up in the feedback registers; calibration commands are
// carried out and cleared; a new device ID or baud rate waits for a restart.
// Not thread-safe on its own; the virtual module guards it.

#include "modbus/Module.h"
#include "sim/FeedbackInput.h"

#include <array>
#include <cstdint>

enum class WriteOutcome {
    Accepted,
    IllegalAddress, ///< no such register
    IllegalValue,   ///< the register refuses the value (unknown command)
};

/// Faults of a unit that a function test must find.
struct UnitFaults {
    bool relayStuck = false;        ///< the relay ignores writes
    bool ignoreCalibration = false; ///< calibration commands are never carried out
    /// A test fixture that wires the relay's contact to the dry-contact input.
    bool relayLoopback = false;
};

/// What the calibration commands have done so far.
struct CalibrationRecord {
    int inputZeroCount = 0;
    int input20mACount = 0;
    int outputSpanCount = 0;
    std::uint16_t outputSpan = ModuleCommand::OutputSpanNominal;
};

class ModuleRegisters {
public:
    /// address is the slave address the module answers to; baudRate its
    /// nominal line rate. Both also fill the device ID and baud-rate registers.
    ModuleRegisters(std::uint8_t address, unsigned baudRate);

    /// The register's value; 0 for numbers outside 0..19.
    std::uint16_t Value(int index) const;
    RegisterValues Values() const { return m_values; }

    /// Sets a register directly, the way a test rig would wire an input or
    /// preload a value; no command is carried out. Out-of-range numbers are ignored.
    void Set(int index, std::uint16_t value);

    /// A master's write of one register (function 06), with the module's reactions.
    WriteOutcome Write(int index, std::uint16_t value);

    /// Takes a fresh measurement of the feedback input before the registers are read.
    void Sample();

    /// Noise of the feedback measurement, in counts either way (0 for none).
    void SetNoise(int amplitude, std::uint32_t seed);
    /// Gain and offset errors and the settling lag of the feedback input.
    void SetFeedbackErrors(const FeedbackErrors& errors);
    /// Whether the output is wired to the feedback input (the default).
    void SetLoopback(bool wired);
    void SetUnitFaults(const UnitFaults& faults) { m_faults = faults; }

    /// The address and rate in effect; the registers only take over at Restart().
    std::uint8_t Address() const { return m_address; }
    unsigned BaudRate() const { return m_baudRate; }
    void SetAddress(std::uint8_t address);

    /// Powers the module up again: a valid device ID (1..247) and a standard
    /// baud rate from the registers take effect; invalid ones are put back.
    void Restart();

    const CalibrationRecord& Calibration() const { return m_calibration; }

private:
    WriteOutcome runCalibrationCommand(std::uint16_t command);

    RegisterValues m_values{};
    std::uint8_t m_address = 1;
    unsigned m_baudRate = 9600;
    CalibrationRecord m_calibration;
    bool m_loopback = true;
    UnitFaults m_faults;
    FeedbackInput m_feedback;
};
