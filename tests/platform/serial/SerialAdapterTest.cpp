#include "platform/serial/SerialAdapter.h"

#include "tests/support/FakeUsbSysfs.h"

#include <gtest/gtest.h>

namespace {

using Adapter = FakeUsbSysfs::Adapter;

Adapter ftdi() {
    Adapter adapter;
    adapter.serialNumber = QStringLiteral("A10K3ZQ7");
    return adapter;
}

// A cheap adapter without a serial number.
Adapter ch340(const QString& usbPath) {
    Adapter adapter;
    adapter.vendorId = QStringLiteral("1a86");
    adapter.productId = QStringLiteral("7523");
    adapter.usbPath = usbPath;
    adapter.manufacturer.clear();
    adapter.product = QStringLiteral("USB Serial");
    return adapter;
}

} // namespace

TEST(SerialAdapter, ReadsTheAdapterBehindATtyAndKeepsItAsText) {
    FakeUsbSysfs sysfs;
    sysfs.plug(QStringLiteral("ttyUSB0"), ftdi());
    Adapter acm = ch340(QStringLiteral("1-1.3"));
    acm.interface = QStringLiteral("1.2");
    sysfs.plug(QStringLiteral("ttyACM0"), acm);
    sysfs.plugUart(QStringLiteral("ttyS0"));

    const SerialAdapterIdentity usb = serialAdapterOf(sysfs.root(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(usb.vendorId, "0403");
    EXPECT_EQ(usb.productId, "6001");
    EXPECT_EQ(usb.serialNumber, "A10K3ZQ7");
    EXPECT_EQ(usb.usbPath, "1-1.2");
    EXPECT_EQ(usb.interface, "1.0");
    EXPECT_EQ(usb.description(), "FTDI FT232R USB UART, serial A10K3ZQ7 (USB 0403:6001 at 1-1.2)");

    // An ACM port's device is the interface itself.
    const SerialAdapterIdentity modem = serialAdapterOf(sysfs.root(), QStringLiteral("ttyACM0"));
    EXPECT_EQ(modem.vendorId, "1a86");
    EXPECT_EQ(modem.interface, "1.2");
    EXPECT_TRUE(modem.serialNumber.isEmpty());
    EXPECT_EQ(modem.description(), "USB Serial (USB 1a86:7523 at 1-1.3)");

    for (const char* other : {"ttyS0", "ttyUSB9", "", "../ttyUSB0", "."}) {
        EXPECT_TRUE(serialAdapterOf(sysfs.root(), QString::fromLatin1(other)).isEmpty()) << other;
    }
    EXPECT_TRUE(serialDeviceExists(sysfs.root(), QStringLiteral("ttyS0")));
    EXPECT_FALSE(serialDeviceExists(sysfs.root(), QStringLiteral("ttyUSB9")));

    // Stored as one line of text, whatever the names hold.
    SerialAdapterIdentity odd = usb;
    odd.product = QStringLiteral("Dual; RS=485 100% \"isolated\"");
    const QString text = odd.toText();
    EXPECT_FALSE(text.contains('\n'));
    const SerialAdapterIdentity back = SerialAdapterIdentity::fromText(text);
    EXPECT_EQ(back.toText(), text);
    EXPECT_EQ(back.product, odd.product);
    EXPECT_TRUE(back.sameAdapter(usb));
    EXPECT_TRUE(SerialAdapterIdentity::fromText(QString()).isEmpty());
    EXPECT_TRUE(SerialAdapterIdentity::fromText(QStringLiteral("ttyUSB0")).isEmpty());
    EXPECT_TRUE(SerialAdapterIdentity::fromText(QStringLiteral("serial=A10K3ZQ7")).isEmpty());
}

TEST(SerialAdapter, IsFoundAgainUnderAnyNameButNeverConfusedWithAnother) {
    FakeUsbSysfs sysfs;
    const SerialAdapterIdentity withSerial = FakeUsbSysfs::identityOf(ftdi());
    const SerialAdapterIdentity withoutSerial =
        FakeUsbSysfs::identityOf(ch340(QStringLiteral("1-1.3")));

    // After a reboot the two swapped names, and the one with a serial number
    // went into another socket.
    Adapter moved = ftdi();
    moved.usbPath = QStringLiteral("1-1.4");
    sysfs.plug(QStringLiteral("ttyUSB0"), ch340(QStringLiteral("1-1.3")));
    sysfs.plug(QStringLiteral("ttyUSB1"), moved);
    EXPECT_EQ(serialPortsOfAdapter(sysfs.root(), withSerial), QStringList{"ttyUSB1"});
    EXPECT_EQ(serialPortsOfAdapter(sysfs.root(), withoutSerial), QStringList{"ttyUSB0"});

    // Without a serial number only the socket tells two of a kind apart.
    sysfs.plug(QStringLiteral("ttyUSB0"), ch340(QStringLiteral("1-1.5")));
    EXPECT_TRUE(serialPortsOfAdapter(sysfs.root(), withoutSerial).isEmpty());

    // The two ports of a dual adapter share a serial number but not an interface.
    Adapter second = moved;
    second.interface = QStringLiteral("1.1");
    sysfs.plug(QStringLiteral("ttyUSB2"), second);
    EXPECT_EQ(serialPortsOfAdapter(sysfs.root(), withSerial), QStringList{"ttyUSB1"});

    // Another make with the same serial number is another adapter.
    Adapter lookalike = ch340(QStringLiteral("1-1.2"));
    lookalike.serialNumber = withSerial.serialNumber;
    EXPECT_FALSE(FakeUsbSysfs::identityOf(lookalike).sameAdapter(withSerial));
    EXPECT_FALSE(SerialAdapterIdentity{}.sameAdapter(SerialAdapterIdentity{}));
}
