#pragma once
// Pure functions that turn line settings into terminal attributes. They use
// the kernel's termios2 so that any rate can be set (BOTHER), and they touch
// no device, so they can be checked without one. Files that include this
// header must not include <termios.h>, whose struct clashes with the kernel's.

#include "platform/serial/SerialSettings.h"

#include <asm/termbits.h>
#include <chrono>
#include <cstddef>

/// The attributes for the given settings, starting from the line's current
/// ones so that fields this component does not manage stay as they were.
termios2 BuildTermios(const termios2& current, const SerialLineSettings& settings);

/// The settings a listener asks of the line: the same rate and framing, no
/// flow control of either kind, since hardware flow control drives RTS and
/// XON/XOFF sends characters of its own.
SerialLineSettings ListenOnly(const SerialLineSettings& settings);

/// The current attributes made raw (no echo, no line editing, no translation,
/// reads that never wait) with speed and framing kept: how a line is held from
/// the moment it is opened until its own settings are pushed.
termios2 RawTermios(const termios2& current);

/// The attributes with output flow control off (no CTS handshake, XOFF from
/// the far end ignored), everything else kept: how a line whose output is
/// stalled is let go, so that what its driver still holds can leave.
termios2 WithoutOutputFlowControl(const termios2& current);

/// Sets both speeds: the classic B constant where one exists, BOTHER with the
/// number otherwise (14400, 56000, 128000, 256000 and any custom rate).
void SetTermiosSpeed(termios2& attributes, int baudRate);

/// The rate the attributes carry, decoded from a B constant or the BOTHER number.
int TermiosSpeed(const termios2& attributes);

/// How long a write of byteCount bytes may wait for the device.
std::chrono::milliseconds WriteTimeout(const SerialTimeouts& timeouts, std::size_t byteCount);

/// How long a read may wait for byteCount bytes; zero means it returns at once
/// with what is waiting.
std::chrono::milliseconds ReadTimeout(const SerialTimeouts& timeouts, std::size_t byteCount);
