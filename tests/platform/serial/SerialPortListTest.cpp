#include "platform/serial/SerialPortList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A fake /sys: class/tty/<name> with an optional device link and type file.
class FakeSysfs {
public:
    void addTty(const QString& name, bool withDevice, const QByteArray& type = QByteArray()) {
        const QString entry = m_root.filePath("class/tty/" + name);
        ASSERT_TRUE(QDir().mkpath(entry));
        if (withDevice) {
            ASSERT_TRUE(QDir().mkpath(entry + "/device"));
        }
        if (!type.isNull()) {
            QFile file(entry + "/type");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(type);
        }
    }
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
};

} // namespace

TEST(SerialPortList, ListsRealDevicesAndRegisteredPortsSorted) {
    FakeSysfs sysfs;
    sysfs.addTty("ttyS0", true, "4\n");
    sysfs.addTty("ttyS1", true, "0\n"); // no UART behind it
    sysfs.addTty("ttyS2", true, "0");
    sysfs.addTty("ttyUSB0", true);
    sysfs.addTty("ttyACM0", true);
    sysfs.addTty("ttyAMA0", true, "95\n");
    sysfs.addTty("tty1", false);
    sysfs.addTty("console", false);
    sysfs.addTty("ptmx", false);

    registerSerialPort("/dev/pts/5");
    registerSerialPort("/dev/ttyV0");
    registerSerialPort("/dev/ttyV0");
    registerSerialPort("/dev/ttyUSB0"); // already found; listed once
    const SerialPortListResult found = listSerialPortNames(sysfs.root());
    unregisterSerialPort("/dev/pts/5");
    unregisterSerialPort("/dev/ttyV0");
    unregisterSerialPort("/dev/ttyUSB0");

    ASSERT_EQ(found.error, 0);
    EXPECT_EQ(found.names,
              QStringList({"/dev/pts/5", "ttyACM0", "ttyAMA0", "ttyS0", "ttyUSB0", "ttyV0"}));
    EXPECT_EQ(listSerialPortNames(sysfs.root()).names,
              QStringList({"ttyACM0", "ttyAMA0", "ttyS0", "ttyUSB0"}));
}

TEST(SerialPortList, SortsWithoutRegardToCaseAndReportsFailure) {
    QStringList names = {"COM2", "com10", "COM1", "Com1", "ttyS10", "ttys2"};
    sortPortNames(names);
    EXPECT_EQ(names, QStringList({"COM1", "Com1", "com10", "COM2", "ttyS10", "ttys2"}));

    EXPECT_EQ(serialPortNameForPath("/dev/ttyUSB3"), "ttyUSB3");
    EXPECT_EQ(serialPortNameForPath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(serialPortNameForPath("/tmp/ttyX"), "/tmp/ttyX");

    const SerialPortListResult missing = listSerialPortNames("/nonexistent-sysfs-root");
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_TRUE(missing.names.isEmpty());

    // The default root can be redirected, which is how windows under test see
    // a machine of their choosing.
    FakeSysfs sysfs;
    sysfs.addTty("ttyUSB7", true);
    const QString previous = serialSysfsRoot();
    setSerialSysfsRoot(sysfs.root());
    const SerialPortListResult redirected = listSerialPortNames();
    setSerialSysfsRoot(previous);
    EXPECT_EQ(redirected.names, QStringList({"ttyUSB7"}));
}
