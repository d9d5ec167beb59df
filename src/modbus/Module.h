#pragma once
// The analog signal module as the tool knows it: the holding registers that
// have a role, the command values it takes and the output's full scale. The
// engine, the windows, the tests of the module and the virtual module all
// take these facts from here.

#include "modbus/RtuFrame.h"

#include <array>
#include <cstdint>

/// The module's 20 holding registers, register 0 first.
using RegisterValues = std::array<std::uint16_t, RegisterCount>;

// Register numbers, as the module's manual lists them.
namespace ModuleRegister {
inline constexpr int FeedbackCurrent = 1;
inline constexpr int FeedbackDisplay = 2;
inline constexpr int OutputDisplay = 3;
inline constexpr int OutputRange = 4;
inline constexpr int DisplayMode = 5;
inline constexpr int OutputFactor = 6;
inline constexpr int DeviceId = 7;
inline constexpr int BaudRate = 8;
inline constexpr int DryContact = 9;
inline constexpr int Relay = 10;
inline constexpr int OutputSpan = 17;
inline constexpr int CalibrationCommand = 18;
} // namespace ModuleRegister

// Command values and the limits they work with.
namespace ModuleCommand {
/// Written to the calibration register: calibrate the input's zero or its 20 mA point.
inline constexpr std::uint16_t CalibrateInputZero = 0x6961;
inline constexpr std::uint16_t CalibrateInput20mA = 0x6963;
/// Written to the calibration register once the span is in its register.
inline constexpr std::uint16_t CalibrateOutputSpan = 0x5A53;
inline constexpr std::uint16_t OutputSpanMinimum = 19000;
inline constexpr std::uint16_t OutputSpanMaximum = 21000;
inline constexpr std::uint16_t OutputSpanNominal = 20000;
/// Written to the relay register.
inline constexpr std::uint16_t RelayOn = 1;
inline constexpr std::uint16_t RelayOff = 0;
/// The baud-rate register holds the rate in hundreds of bits per second, so
/// that 115200 fits into 16 bits.
inline constexpr unsigned BaudRateUnit = 100;
} // namespace ModuleCommand

/// The output register's full scale: 2200 counts, shown as 22.00 (mA).
inline constexpr std::uint16_t OutputFullScale = 2200;
