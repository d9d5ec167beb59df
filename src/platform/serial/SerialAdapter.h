#pragma once
// The USB adapter behind a serial port, as sysfs tells it. Kernel names such
// as ttyUSB0 are handed out in the order in which adapters appear, so two
// adapters swap names after a re-plug or a reboot; the identity kept here
// (vendor and product, serial number, place on the bus, interface) does not.

#include <QString>
#include <QStringList>
#include <optional>

struct SerialAdapterIdentity {
    QString vendorId;     ///< four hex digits, e.g. "0403"
    QString productId;    ///< e.g. "6001"
    QString serialNumber; ///< empty when the adapter has none (many cheap ones)
    QString usbPath;      ///< the device's place on the bus, e.g. "1-1.2"
    QString interface;    ///< configuration and interface, e.g. "1.0"
    QString manufacturer; ///< for people only, e.g. "FTDI"
    QString product;      ///< for people only, e.g. "FT232R USB UART"

    bool isEmpty() const { return vendorId.isEmpty(); }

    /// The same adapter: same vendor, product, interface and serial number,
    /// and for adapters without a serial number the same place on the bus.
    bool sameAdapter(const SerialAdapterIdentity& other) const;

    /// For people: "FTDI FT232R USB UART, serial A12345 (USB 0403:6001 at 1-1.2)".
    QString description() const;

    /// One line of text for a settings store, and back. An empty or
    /// unreadable text gives an empty identity.
    QString toText() const;
    static SerialAdapterIdentity fromText(const QString& text);
};

/// The adapter behind a tty such as ttyUSB0 or ttyACM0; empty when sysfs does
/// not know the name or no USB device lies behind it.
SerialAdapterIdentity serialAdapterOf(const QString& sysfsRoot, const QString& ttyName);

/// The ttys that lead to the given adapter, sorted.
QStringList serialPortsOfAdapter(const QString& sysfsRoot, const SerialAdapterIdentity& identity);

/// Whether sysfs has a tty of this name with a device behind it.
bool serialDeviceExists(const QString& sysfsRoot, const QString& ttyName);

/// The latency timer of the USB adapter behind a tty, in milliseconds: how
/// long an FTDI adapter holds received bytes before it hands them on (16 by
/// default). Nothing when the adapter has no such timer.
std::optional<int> serialLatencyTimerOf(const QString& sysfsRoot, const QString& ttyName);
