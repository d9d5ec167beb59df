#pragma once
// A fake /sys with USB serial adapters laid out as the kernel does it: the
// USB device folder with its attributes, the interface folder below it, and
// class/tty/<name>/device leading to the interface (ttyACM) or to a folder of
// the tty inside it (ttyUSB).

#include "platform/serial/SerialAdapter.h"
#include "platform/serial/SerialPortList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class FakeUsbSysfs {
public:
    struct Adapter {
        QString vendorId = QStringLiteral("0403");
        QString productId = QStringLiteral("6001");
        QString serialNumber;
        QString usbPath = QStringLiteral("1-1.2");
        QString interface = QStringLiteral("1.0");
        QString manufacturer = QStringLiteral("FTDI");
        QString product = QStringLiteral("FT232R USB UART");
    };

    FakeUsbSysfs() { QDir().mkpath(m_root.filePath(QStringLiteral("class/tty"))); }

    QString root() const { return m_root.path(); }

    /// Plugs an adapter in as the given tty (replacing whatever had that name).
    void plug(const QString& tty, const Adapter& adapter) {
        unplug(tty);
        const QString device =
            m_root.filePath(QStringLiteral("devices/pci0000:00/usb1/") + adapter.usbPath);
        const QString interfaceFolder =
            device + QLatin1Char('/') + adapter.usbPath + QLatin1Char(':') + adapter.interface;
        const bool acm = tty.startsWith(QStringLiteral("ttyACM"));
        const QString target = acm ? interfaceFolder : interfaceFolder + QLatin1Char('/') + tty;
        QDir().mkpath(target);
        write(device, "idVendor", adapter.vendorId);
        write(device, "idProduct", adapter.productId);
        write(device, "manufacturer", adapter.manufacturer);
        write(device, "product", adapter.product);
        if (!adapter.serialNumber.isEmpty()) {
            write(device, "serial", adapter.serialNumber);
        }
        const QString entry = ttyEntry(tty);
        QDir().mkpath(entry);
        QFile::link(target, entry + QStringLiteral("/device"));
    }

    /// A tty with a device behind it that is not a USB adapter (a UART).
    void plugUart(const QString& tty) {
        unplug(tty);
        const QString target =
            m_root.filePath(QStringLiteral("devices/platform/serial8250/") + tty);
        QDir().mkpath(target);
        QDir().mkpath(ttyEntry(tty));
        QFile::link(target, ttyEntry(tty) + QStringLiteral("/device"));
    }

    void unplug(const QString& tty) { QDir(ttyEntry(tty)).removeRecursively(); }

    /// The identity the tool reads for the adapter.
    static SerialAdapterIdentity identityOf(const Adapter& adapter) {
        return {adapter.vendorId,  adapter.productId,    adapter.serialNumber, adapter.usbPath,
                adapter.interface, adapter.manufacturer, adapter.product};
    }

private:
    QString ttyEntry(const QString& tty) const {
        return m_root.filePath(QStringLiteral("class/tty/") + tty);
    }
    static void write(const QString& folder, const char* name, const QString& value) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(value.toUtf8() + '\n');
        }
    }

    QTemporaryDir m_root;
};

/// A fake /sys that the port list and the adapter lookups use while it lives.
class FakeUsbMachine : public FakeUsbSysfs {
public:
    FakeUsbMachine() { setSerialSysfsRoot(root()); }
    ~FakeUsbMachine() { setSerialSysfsRoot(m_previous); }
    FakeUsbMachine(const FakeUsbMachine&) = delete;
    FakeUsbMachine& operator=(const FakeUsbMachine&) = delete;

private:
    QString m_previous = serialSysfsRoot();
};
