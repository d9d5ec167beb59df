#include "serial/ComAdapter.h"

#include "platform/storage/IniFile.h"
#include "serial/ComPort.h"
#include "tests/support/FakeUsbSysfs.h"

#include <gtest/gtest.h>

namespace {

using Adapter = FakeUsbSysfs::Adapter;

Adapter adapterWithSerial(const QString& serialNumber) {
    Adapter adapter;
    adapter.serialNumber = serialNumber;
    return adapter;
}

} // namespace

TEST(ComAdapter, TheRememberedAdapterIsOpenedUnderItsNewNameAndAnotherIsRefused) {
    FakeUsbMachine machine;
    const Adapter module = adapterWithSerial(QStringLiteral("A10K3ZQ7"));
    Adapter other = adapterWithSerial(QStringLiteral("FT9XQ2B1"));
    other.usbPath = QStringLiteral("1-1.3");
    machine.plug(QStringLiteral("ttyUSB0"), module);
    const SerialAdapterIdentity remembered = AdapterOfPort("ttyUSB0");
    ASSERT_TRUE(remembered.sameAdapter(FakeUsbSysfs::identityOf(module)));
    EXPECT_TRUE(AdapterOfPort("/dev/ttyUSB0").sameAdapter(remembered));
    EXPECT_TRUE(AdapterOfPort("/dev/serial/by-id/usb-FTDI-if00").isEmpty());
    EXPECT_EQ(DescribePort(QStringLiteral("ttyUSB0")), remembered.description());

    TAdapterCheck check = CheckAdapter("ttyUSB0", remembered);
    EXPECT_EQ(check.Outcome, TAdapterCheck::aoOpen);
    EXPECT_EQ(check.Port, "ttyUSB0");

    // Re-plugged while the old name was still held: it came back as ttyUSB1,
    // and another adapter took ttyUSB0.
    machine.plug(QStringLiteral("ttyUSB1"), module);
    machine.plug(QStringLiteral("ttyUSB0"), other);
    check = CheckAdapter("ttyUSB0", remembered);
    EXPECT_EQ(check.Outcome, TAdapterCheck::aoMoved);
    EXPECT_EQ(check.Port, "ttyUSB1");
    EXPECT_EQ(check.Message, "The adapter used on ttyUSB0 (FTDI FT232R USB UART, serial A10K3ZQ7 "
                             "(USB 0403:6001 at 1-1.2)) is now ttyUSB1.");
    EXPECT_EQ(CheckAdapter("/dev/ttyUSB0", remembered).Port, "/dev/ttyUSB1");

    // Gone altogether: the name now leads to the other adapter, which is refused.
    machine.unplug(QStringLiteral("ttyUSB1"));
    check = CheckAdapter("/dev/ttyUSB0", remembered);
    EXPECT_EQ(check.Outcome, TAdapterCheck::aoRefused);
    EXPECT_EQ(check.Port, "/dev/ttyUSB0");
    EXPECT_NE(check.Message.find("serial FT9XQ2B1"), std::string::npos) << check.Message;
    EXPECT_NE(check.Message.find("serial A10K3ZQ7"), std::string::npos) << check.Message;
    EXPECT_NE(check.Message.find("not polled"), std::string::npos) << check.Message;

    // So is a device that is no USB adapter at all.
    machine.plugUart(QStringLiteral("ttyUSB0"));
    EXPECT_EQ(CheckAdapter("ttyUSB0", remembered).Outcome, TAdapterCheck::aoRefused);

    // Nothing under the name: it is opened as given and found missing.
    machine.unplug(QStringLiteral("ttyUSB0"));
    check = CheckAdapter("ttyUSB0", remembered);
    EXPECT_EQ(check.Outcome, TAdapterCheck::aoOpen);
    EXPECT_EQ(check.Port, "ttyUSB0");

    // Without a remembered adapter, or by any other path, nothing is checked.
    machine.plug(QStringLiteral("ttyUSB0"), other);
    EXPECT_EQ(CheckAdapter("ttyUSB0", {}).Outcome, TAdapterCheck::aoOpen);
    EXPECT_EQ(CheckAdapter("/dev/pts/4", remembered).Outcome, TAdapterCheck::aoOpen);
}

TEST(ComAdapter, TheIdentityIsStoredBesideThePortAndForgottenWithANewName) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("port.ini"));
    Adapter adapter = adapterWithSerial(QStringLiteral("A10K3ZQ7"));
    const SerialAdapterIdentity identity = FakeUsbSysfs::identityOf(adapter);
    {
        TComPort port;
        port.SetName("ComPort");
        port.SetPort("ttyUSB0");
        port.SetAdapterIdentity(identity);
        port.SaveSettings(ssIniFile, path.toStdString());
    }
    IniFile ini(path);
    EXPECT_EQ(ini.readString("ComPort", "Port", QString()), "ttyUSB0");
    EXPECT_EQ(ini.readString("ComPort", "AdapterIdentity", QString()), identity.toText());

    TComPort restored;
    restored.SetName("ComPort");
    restored.RestoreSettings(ssIniFile, path.toStdString());
    EXPECT_EQ(restored.Port(), "ttyUSB0");
    EXPECT_TRUE(restored.AdapterIdentity().sameAdapter(identity));
    EXPECT_EQ(restored.AdapterIdentity().description(), identity.description());

    // Another port forgets it, and saving clears the stored one.
    restored.SetPort("ttyS0");
    EXPECT_TRUE(restored.AdapterIdentity().isEmpty());
    restored.SaveSettings(ssIniFile, path.toStdString());
    IniFile cleared(path);
    EXPECT_TRUE(cleared.readString("ComPort", "AdapterIdentity", QString()).isEmpty());
}
