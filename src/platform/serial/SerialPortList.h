#pragma once
// The serial ports this machine offers, as names the port component opens:
// those the system lists, and ports the program registers itself, such as
// the pseudo-terminal of the virtual module. The list is sorted as text
// without regard to letter case.
//
// Linux lists the devices found under <sysfs>/class/tty that have a real
// device behind them (ttyS ports only when a UART was detected, plus ttyUSB,
// ttyACM, ttyAMA and the like); a device /dev/NAME is listed as NAME, any
// other path in full. Windows lists the port names (COM1, COM5, ...) that the
// drivers publish in HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM;
// \\.\NAME is listed as NAME.

#include <QString>
#include <QStringList>

struct SerialPortListResult {
    /// 0, or the system's code of the failure to read the list (an errno for
    /// the tty class folder, a Windows error code for the registry key).
    int error = 0;
    QStringList names;
};

/// Lists the ports. The root defaults to the one set below.
SerialPortListResult listSerialPortNames();
SerialPortListResult listSerialPortNames(const QString& sysfsRoot);

/// Where the system's list is read: the sysfs root on Linux, the registry
/// key of the port map on Windows (a full key name, such as
/// "HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM").
/// defaultSerialPortRoot() unless changed (tests point it at one of their own).
QString serialSysfsRoot();
void setSerialSysfsRoot(const QString& root);
QString defaultSerialPortRoot();

/// The ports the system lists under the root, unsorted and without those the
/// program registered.
SerialPortListResult systemSerialPortNames(const QString& root);

/// Adds or removes a port of the program's own (a device path or a plain
/// name); safe to call from any thread.
void registerSerialPort(const QString& path);
void unregisterSerialPort(const QString& path);

/// The name under which the component opens a device path.
QString serialPortNameForPath(const QString& path);

/// Sorts names as text without regard to letter case (COM1, COM10, COM2);
/// names equal but for case keep a fixed order.
void sortPortNames(QStringList& names);
