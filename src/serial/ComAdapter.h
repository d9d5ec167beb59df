#pragma once
// Finding a port's USB adapter again under the name it has now, and telling
// what a port is. Kernel names such as ttyUSB0 follow the order in which
// adapters appear; after a re-plug or a reboot a remembered name may lead to
// another adapter, and the remembered adapter may have another name.

#include "platform/serial/SerialAdapter.h"

#include <QString>
#include <optional>
#include <string>

struct TAdapterCheck {
    enum TOutcome { aoOpen, aoMoved, aoRefused };
    TOutcome Outcome = aoOpen;
    /// What to open: the name given, or the remembered adapter's new name.
    std::string Port;
    /// aoMoved: which name the adapter has now; aoRefused: why, naming both
    /// the adapter the name leads to and the one remembered.
    std::string Message;
};

/// What to open for a port name and the adapter remembered for it. Without a
/// remembered adapter, or for a name that is not a plain tty name, the name
/// as given. A name that now leads to another device is refused; a name that
/// leads nowhere is opened as given, so that opening says it is missing.
TAdapterCheck CheckAdapter(const std::string& Port, const SerialAdapterIdentity& Remembered);

/// The adapter behind a port given by a plain name ("ttyUSB0" or
/// "/dev/ttyUSB0"); empty for any other port.
SerialAdapterIdentity AdapterOfPort(const std::string& Port);

/// Whether opening the port's name again after its line went away can find
/// the same line. Not for a pseudo-terminal named by its own node (/dev/pts/N),
/// whose number goes to the next terminal anybody opens; a link to one, such
/// as the virtual module's --link, is followed like any other. Asked while
/// the port is open.
bool PortCanBeReopened(const std::string& Port);

/// What a listed port is, for people ("FTDI FT232R USB UART, serial ...");
/// empty when it is not a known USB adapter.
QString DescribePort(const QString& PortName);

/// The latency timer of the USB adapter behind a port given by a plain name,
/// in milliseconds (see serialLatencyTimerOf); nothing for any other port.
std::optional<int> AdapterLatencyTimer(const std::string& Port);
