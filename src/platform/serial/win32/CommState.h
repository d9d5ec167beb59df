#pragma once
// Pure functions that turn line settings into the communications services'
// structures, and the one way this twin asks a line for its status. The pure
// part touches no device, so it can be checked without one.

#include "platform/serial/SerialSettings.h"

#include <chrono>
#include <cstddef>
#include <windows.h>

/// The device control block for the settings, starting from the line's
/// current one so that fields this component does not manage stay as they
/// were. Every option has a field of its own here: DSR sensitivity, the DSR
/// output handshake, the DTR handshake, RTS toggling, parity replacement and
/// dropping zero bytes are the driver's work.
DCB BuildDcb(const DCB& current, const SerialLineSettings& settings);

/// The line's timeouts for the component's ones. Reads keep the component's
/// rule that a read returns at once with what is waiting unless read totals
/// are set (Windows would wait for ever with all of them zero). Writes with
/// both totals zero get no driver timeout; the write bounds its own wait.
COMMTIMEOUTS CommTimeoutsOf(const SerialTimeouts& timeouts);

/// Whether a read under these timeouts returns at once with what is waiting.
bool ReadsReturnAtOnce(const SerialTimeouts& timeouts);

/// ModemLine bits for a GetCommModemStatus() answer.
unsigned ModemLinesOf(DWORD modemStatus);

/// How long a write of byteCount bytes that has no driver timeout may wait:
/// as long as the bytes need on the line at the settings' rate and framing,
/// plus slack for the driver and the adapter.
std::chrono::milliseconds UnboundedWriteLimit(const SerialLineSettings& settings,
                                              std::size_t byteCount);

/// ClearCommError() both tells a line's status and clears its error flags,
/// so the device and the event thread both ask through this, which adds the
/// flags to the line's running counts (see CommErrorCounts). Returns 0 or the
/// Windows error code.
DWORD QueryCommStatus(HANDLE line, COMSTAT& status);

/// The running counts of a line's error conditions since it was opened, as
/// QueryCommStatus() gathered them: frame, overrun, parity, break and buffer
/// overrun. The device starts and ends the counting with the line.
void StartCommErrorCounts(HANDLE line);
void EndCommErrorCounts(HANDLE line);
SerialCounters CommErrorCounts(HANDLE line);
