#pragma once
// The serial ports this machine offers, as names the port component opens:
// devices found under <sysfs>/class/tty that have a real device behind them
// (ttyS ports only when a UART was detected, plus ttyUSB, ttyACM, ttyAMA and
// the like), and ports the program registers itself, such as the pseudo-
// terminal of the virtual module. A device /dev/NAME is listed as NAME; any
// other path is listed in full. The list is sorted as text without regard to
// letter case.

#include <QString>
#include <QStringList>

struct SerialPortListResult {
    /// 0, or the errno of the failure to read the tty class folder.
    int error = 0;
    QStringList names;
};

/// Lists the ports. The sysfs root defaults to the one set below.
SerialPortListResult listSerialPortNames();
SerialPortListResult listSerialPortNames(const QString& sysfsRoot);

/// The sysfs root used by listSerialPortNames(); "/sys" unless changed (tests
/// point it at a tree of their own).
QString serialSysfsRoot();
void setSerialSysfsRoot(const QString& root);

/// Adds or removes a port of the program's own (a device path or a plain
/// name); safe to call from any thread.
void registerSerialPort(const QString& path);
void unregisterSerialPort(const QString& path);

/// The name under which the component opens a device path.
QString serialPortNameForPath(const QString& path);

/// Sorts names as text without regard to letter case (COM1, COM10, COM2);
/// names equal but for case keep a fixed order.
void sortPortNames(QStringList& names);
