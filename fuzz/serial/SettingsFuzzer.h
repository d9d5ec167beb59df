#pragma once
// Stored port settings under random damage, in both stores: the registry-
// shaped file and the INI file. A sound file, as a port with every setting
// group and odd values saves it, is mutated line by line and byte by byte
// (lines dropped, doubled and swapped, records of random kinds, names and
// values, broken escapes and numbers, quotes and blanks, control bytes and
// broken UTF-8, adapter identities) and restored into a port.
//
// The rules: restoring either succeeds or fails with "Failed to load
// settings", and whatever a restore accepts survives a save and a restore
// unchanged, or is refused by the save as a whole.

#include "fuzz/support/FuzzReport.h"

#include "serial/ComPort.h"
#include "serial/ComPortProperties.h"
#include "serial/EComPort.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>

namespace settings_fuzz {

inline constexpr char Location[] = "HKEY_LOCAL_MACHINE\\Software\\KESTRO_MODBUS_M";

inline TSettingsGroups allGroups() {
    return {sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};
}

// A port whose every stored value differs from its default.
inline void fillOddly(TComPort& port) {
    port.SetName("ComPort");
    port.SetSavedGroups(allGroups());
    port.SetPort("/dev/odd name%\\=[x]");
    port.SetAdapterIdentity(SerialAdapterIdentity::fromText(
        "vendor=0403;product=6001;serial=A%3B1;path=1-1.2;interface=1.0;manufacturer=FTDI;"
        "name=FT232R%20UART"));
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.SetStopBits(sbOne5StopBits);
    port.SetDataBits(dbSeven);
    port.SetDiscardNull(true);
    port.SetEventChar(13);
    port.Parity().SetBits(prMark);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('#');
    port.FlowControl().SetControlRTS(rtsToggle);
    port.FlowControl().SetControlDTR(dtrHandshake);
    port.FlowControl().SetXonChar(200);
    port.FlowControl().SetXoffChar(' ');
    port.FlowControl().SetDSRSensitivity(true);
    port.Timeouts().SetReadInterval(-7);
    port.Timeouts().SetWriteTotalConstant(2147483647);
    port.Buffer().SetInputSize(4096);
    port.Buffer().SetOutputSize(-2);
}

enum class Store { Registry, Ini };

class Mutator {
public:
    Mutator(std::uint32_t seed, QByteArray sound) : m_random(seed), m_sound(std::move(sound)) {}

    QByteArray next() {
        QByteArrayList lines = m_sound.split('\n');
        const int mutations = 1 + below(4);
        for (int i = 0; i < mutations; ++i) {
            mutateLines(lines);
        }
        QByteArray bytes = lines.join('\n');
        if (below(4) == 0) {
            mutateBytes(bytes);
        }
        return bytes;
    }

private:
    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    QByteArray pick(std::initializer_list<const char*> choices) {
        return QByteArray(*(choices.begin() + below(static_cast<int>(choices.size()))));
    }

    // Names the port stores, odd names, and nothing at all.
    QByteArray name() {
        return pick({"Port",
                     "BaudRate",
                     "CustomBaudRate",
                     "StopBits",
                     "DataBits",
                     "Parity",
                     "FlowControl",
                     "EventChar",
                     "DiscardNull",
                     "Parity.Check",
                     "Parity.Replace",
                     "Parity.ReplaceChar",
                     "Buffer.InputSize",
                     "Buffer.OutputSize",
                     "Timeouts.ReadInterval",
                     "Timeouts.WriteTotalConstant",
                     "FlowControl.ControlRTS",
                     "FlowControl.XonChar",
                     "FlowControl.XoffChar",
                     "AdapterIdentity",
                     "PORT",
                     "",
                     "%",
                     "%2",
                     "%zz",
                     "a%20b",
                     "x\x01y"});
    }

    QByteArray value() {
        switch (below(6)) {
        case 0:
            return QByteArray::number(static_cast<qint64>(m_random()) - 2147483648LL +
                                      (below(2) ? 0 : static_cast<qint64>(m_random())));
        case 1:
            return pick({"-2147483648", "2147483647", "2147483648", "-2147483649", "0x10", "+5",
                         "007", "1e3", " 12", "12 ", "", "-"});
        case 2:
            return pick({"Custom",
                         "custom",
                         "115200",
                         "1.5",
                         "Mark",
                         "Yes",
                         "YES",
                         "No",
                         "#",
                         "#300",
                         "#-1",
                         "#x",
                         "Toggle",
                         "Handshake",
                         "None",
                         "\"quoted\"",
                         "\"half",
                         "'single'",
                         "vendor=0403;product=6001",
                         "vendor=;product=1",
                         "vendor=1;product=2;bogus=3;;",
                         "=x",
                         "vendor=%ZZ;product=%C3%28",
                         "vendor=a%3Bb;product=%00"});
        case 3: {
            QByteArray text;
            for (int n = below(20); n > 0; --n) {
                text.append(static_cast<char>(below(256)));
            }
            return text;
        }
        case 4:
            return QByteArray(below(2000), static_cast<char>('a' + below(26)));
        default:
            return pick({"%", "%%", "%4", "%41%42", "%G0", "a%5Cb", "%0A", "%00"});
        }
    }

    QByteArray randomLine() {
        switch (below(7)) {
        case 0:
            return "key " + pick({"Software\\KESTRO_MODBUS_M\\ComPort", "Software", "\\\\",
                                  "Software\\\\KESTRO_MODBUS_M\\ComPort\\", "ComPort", ""});
        case 1:
            return "text " + name() + ' ' + value();
        case 2:
            return "number " + name() + ' ' + value();
        case 3:
            return "[" + pick({"ComPort", "comport", " ComPort ", "Other", "", "ComPort"}) + "]";
        case 4:
            return name() + pick({"=", " = ", "=\"", "==", " "}) + value();
        case 5:
            return pick({"KESTRO-REGISTRY 1", "KESTRO-REGISTRY 2", ";comment", "\r", "\t", ""});
        default:
            return value();
        }
    }

    void mutateLines(QByteArrayList& lines) {
        const int at = below(static_cast<int>(lines.size()) + 1);
        switch (below(6)) {
        case 0:
            if (at < lines.size()) {
                lines.removeAt(at);
            }
            break;
        case 1:
            if (at < lines.size()) {
                lines.insert(below(static_cast<int>(lines.size()) + 1), lines.at(at));
            }
            break;
        case 2:
            if (lines.size() > 1) {
                lines.swapItemsAt(below(static_cast<int>(lines.size())),
                                  below(static_cast<int>(lines.size())));
            }
            break;
        case 3:
            if (at < lines.size()) {
                // Keep the record and its name, change only the value.
                QByteArray& line = lines[at];
                const qsizetype cut = std::max(line.lastIndexOf(' '), line.lastIndexOf('='));
                line = (cut >= 0 ? line.left(cut + 1) : line) + value();
            }
            break;
        default:
            lines.insert(at, randomLine());
            break;
        }
    }

    void mutateBytes(QByteArray& bytes) {
        if (bytes.isEmpty()) {
            return;
        }
        if (below(2) == 0) {
            bytes.truncate(below(static_cast<int>(bytes.size())));
            return;
        }
        for (int n = 1 + below(6); n > 0; --n) {
            bytes[below(static_cast<int>(bytes.size()))] = static_cast<char>(below(256));
        }
    }

    std::mt19937 m_random;
    QByteArray m_sound;
};

class Harness {
public:
    explicit Harness(Store store) : m_store(store) {
        qputenv("KESTRO_CONFIG_DIR", QFile::encodeName(m_folder.path()));
    }

    /// The file a port with every setting group writes.
    QByteArray soundFile() {
        TComPort port;
        fillOddly(port);
        port.SaveSettings(settingsStore(), location());
        QFile file(inputPath());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    void feed(const QByteArray& bytes, FuzzReport& report) {
        QFile file(inputPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size()) {
            report.fail("the test file could not be written");
            return;
        }
        file.close();
        TComPort restored;
        restored.SetName("ComPort");
        restored.SetSavedGroups(allGroups());
        if (!restore(restored, report)) {
            report.count("restores refused");
            return;
        }
        report.count("restores accepted");
        checkRoundTrip(restored, report);
    }

private:
    TSettingsStore settingsStore() const { return m_store == Store::Ini ? ssIniFile : ssRegistry; }
    std::string location() const {
        return m_store == Store::Ini ? QFile::encodeName(inputPath()).toStdString() : Location;
    }
    QString inputPath() const {
        return m_folder.filePath(m_store == Store::Ini
                                     ? QStringLiteral("settings.ini")
                                     : QStringLiteral("HKEY_LOCAL_MACHINE.registry"));
    }

    bool restore(TComPort& port, FuzzReport& report) {
        try {
            port.RestoreSettings(settingsStore(), location());
            return true;
        } catch (const EComPort& error) {
            if (error.LibraryCode() != CError_LoadFailed) {
                report.fail(std::string("a restore failed with ") + error.what());
            }
        } catch (const std::exception& error) {
            report.fail(std::string("a restore raised ") + error.what());
        }
        return false;
    }

    // What was accepted is saved to a file of its own and read back.
    void checkRoundTrip(TComPort& restored, FuzzReport& report) {
        const QString copyPath = m_folder.filePath(QStringLiteral("copy.ini"));
        QFile::remove(copyPath);
        const std::string copyLocation = m_store == Store::Ini
                                             ? QFile::encodeName(copyPath).toStdString()
                                             : "HKEY_CURRENT_USER\\Software\\KESTRO_MODBUS_M";
        if (m_store == Store::Registry) {
            QFile::remove(m_folder.filePath(QStringLiteral("HKEY_CURRENT_USER.registry")));
        }
        try {
            restored.SaveSettings(settingsStore(), copyLocation);
        } catch (const EComPort& error) {
            if (error.LibraryCode() != CError_StoreFailed) {
                report.fail(std::string("a save failed with ") + error.what());
            }
            report.count("saves refused");
            return;
        }
        TComPort again;
        again.SetName("ComPort");
        again.SetSavedGroups(allGroups());
        try {
            again.RestoreSettings(settingsStore(), copyLocation);
        } catch (const std::exception& error) {
            report.fail(std::string("a saved file could not be restored: ") + error.what());
            return;
        }
        if (StoredPublishedValues(again) != StoredPublishedValues(restored) ||
            again.CustomBaudRate() != restored.CustomBaudRate() ||
            again.AdapterIdentity().toText() != restored.AdapterIdentity().toText()) {
            report.fail("settings changed on their way through a save");
        }
        report.count("round trips");
    }

    Store m_store;
    QTemporaryDir m_folder;
};

// Restores at least `files` damaged settings files of the given store.
inline FuzzReport Run(Store store, std::uint64_t files, std::uint32_t seed) {
    FuzzReport report;
    Harness harness(store);
    Mutator mutator(seed, harness.soundFile());
    while (report.inputs < files && !report.failed()) {
        ++report.inputs;
        harness.feed(mutator.next(), report);
    }
    return report;
}

} // namespace settings_fuzz
