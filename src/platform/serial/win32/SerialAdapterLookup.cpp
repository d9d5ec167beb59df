#include "platform/serial/SerialAdapter.h"

#include "platform/serial/SerialPortList.h"

// Windows keeps a port's COM name with its adapter (by the adapter's serial
// number, or by the USB socket for adapters without one), so a re-plugged
// adapter comes back under the name it had and needs no finding by its
// identity. Telling the adapter behind a COM name would take the device
// installation services, which this twin does not use: no port has a known
// adapter here, and the port component keeps to the name.

SerialAdapterIdentity serialAdapterOf(const QString&, const QString&) {
    return {};
}

QStringList serialPortsOfAdapter(const QString&, const SerialAdapterIdentity&) {
    return {};
}

bool serialDeviceExists(const QString& portMap, const QString& portName) {
    const SerialPortListResult listed = systemSerialPortNames(portMap);
    return listed.names.contains(portName, Qt::CaseInsensitive);
}

// The FTDI driver keeps its latency timer among the port's driver settings,
// not in a file beside the port; like a port without such a timer on Linux,
// the answer is "not known", and the listener works with its own gap rule.
std::optional<int> serialLatencyTimerOf(const QString&, const QString&) {
    return std::nullopt;
}
