#include "platform/serial/PseudoTerminal.h"
#include "platform/storage/IniFile.h"
#include "platform/storage/RegistryStore.h"
#include "serial/ComPort.h"
#include "serial/ComPortSettings.h"
#include "tests/serial/CountingPort.h"
#include "tests/support/TemporaryConfig.h"

#include <QFile>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

constexpr char kLocation[] = "HKEY_LOCAL_MACHINE\\Software\\KESTRO_MODBUS_M";
constexpr char kKey[] = "Software\\KESTRO_MODBUS_M\\ComPort";

// The operator program's port: named ComPort, 8 data bits, 2 stop bits, no
// parity, no flow control.
void makeOperatorPort(TComPort& port, const std::string& name) {
    port.SetName("ComPort");
    port.SetPort(name);
    port.SetBaudRate(br9600);
    port.SetStopBits(sbTwoStopBits);
    port.SetDataBits(dbEight);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
}

// Writes values straight into the store, as another program (or a damaged
// disk) might have left them.
class StoredKey {
public:
    explicit StoredKey(RegistryRoot root = RegistryRoot::LocalMachine) : m_store(root) {
        EXPECT_EQ(m_store.openKey(kKey, true), RegistryError::None);
    }
    StoredKey& text(const QString& name, const QString& value) {
        m_store.writeText(name, value);
        return *this;
    }
    StoredKey& number(const QString& name, std::int32_t value) {
        m_store.writeNumber(name, value);
        return *this;
    }
    void commit() { ASSERT_EQ(m_store.closeKey(), RegistryError::None); }

private:
    RegistryStore m_store;
};

template <typename Action> int libraryCodeOf(Action action) {
    try {
        action();
    } catch (const EComPort& error) {
        EXPECT_EQ(error.SystemCode(), EComPort::NoSystemCode);
        return error.LibraryCode();
    }
    return 0;
}

// Every field of every group set away from its default.
void setEverything(TComPort& port) {
    port.SetPort("/dev/ttyUSB3");
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    port.SetStopBits(sbOne5StopBits);
    port.SetDataBits(dbSeven);
    port.SetEventChar(13);
    port.SetDiscardNull(true);
    port.Parity().SetBits(prMark);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar(200);
    port.Buffer().SetOutputSize(4096);
    port.Buffer().SetInputSize(2048);
    port.Timeouts().SetReadInterval(5);
    port.Timeouts().SetReadTotalConstant(6);
    port.Timeouts().SetReadTotalMultiplier(7);
    port.Timeouts().SetWriteTotalConstant(8);
    port.Timeouts().SetWriteTotalMultiplier(9);
    port.FlowControl().SetControlRTS(rtsToggle);
    port.FlowControl().SetControlDTR(dtrHandshake);
    port.FlowControl().SetDSRSensitivity(true);
    port.FlowControl().SetOutCTSFlow(true);
    port.FlowControl().SetOutDSRFlow(true);
    port.FlowControl().SetTxContinueOnXoff(true);
    port.FlowControl().SetXonXoffIn(true);
    port.FlowControl().SetXonXoffOut(true);
    port.FlowControl().SetXoffChar(' ');
    port.FlowControl().SetXonChar('A');
}

void expectEverything(const TComPort& port) {
    EXPECT_EQ(port.Port(), "/dev/ttyUSB3");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 250000);
    EXPECT_EQ(port.StopBits(), sbOne5StopBits);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.EventChar(), 13);
    EXPECT_TRUE(port.DiscardNull());
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_TRUE(port.Parity().Check());
    EXPECT_TRUE(port.Parity().Replace());
    EXPECT_EQ(port.Parity().ReplaceChar(), 200);
    EXPECT_EQ(port.Buffer().OutputSize(), 4096);
    EXPECT_EQ(port.Buffer().InputSize(), 2048);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 5);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 6);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 7);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 8);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 9);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsToggle);
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrHandshake);
    EXPECT_TRUE(port.FlowControl().DSRSensitivity());
    EXPECT_TRUE(port.FlowControl().OutCTSFlow());
    EXPECT_TRUE(port.FlowControl().OutDSRFlow());
    EXPECT_TRUE(port.FlowControl().TxContinueOnXoff());
    EXPECT_TRUE(port.FlowControl().XonXoffIn());
    EXPECT_TRUE(port.FlowControl().XonXoffOut());
    EXPECT_EQ(port.FlowControl().XoffChar(), ' ');
    EXPECT_EQ(port.FlowControl().XonChar(), 'A');
}

TSettingsGroups allGroups() {
    return {sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};
}

} // namespace

TEST(SettingsPersistence, FirstSaveWritesExactlyTheBasicSix) {
    TemporaryConfig config;
    TComPort port;
    makeOperatorPort(port, "COM3");
    port.SaveSettings(ssRegistry, kLocation);

    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey(kKey, false), RegistryError::None);
    EXPECT_EQ(store.valueNames(),
              QStringList({"BaudRate", "DataBits", "FlowControl", "Parity", "Port", "StopBits"}));
    const std::pair<const char*, const char*> expected[] = {
        {"Port", "COM3"},  {"BaudRate", "9600"}, {"StopBits", "2"},
        {"DataBits", "8"}, {"Parity", "None"},   {"FlowControl", "None"}};
    for (const auto& [name, text] : expected) {
        QString stored;
        EXPECT_EQ(store.readText(name, stored), RegistryError::None) << name;
        EXPECT_EQ(stored, text) << name;
    }
    EXPECT_TRUE(QFile::exists(config.file("HKEY_LOCAL_MACHINE.registry")));
    EXPECT_FALSE(QFile::exists(config.file("HKEY_CURRENT_USER.registry")));

    // Restoring puts the very same settings back into a port at its defaults.
    TComPort restored;
    restored.SetName("ComPort");
    restored.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(restored.Port(), "COM3");
    EXPECT_EQ(restored.StopBits(), sbTwoStopBits);
    EXPECT_EQ(restored.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(restored.ApplyHold(), 0);
}

TEST(SettingsPersistence, EveryGroupRoundTripsThroughBothStores) {
    TemporaryConfig config;
    for (const TSettingsStore kind : {ssRegistry, ssIniFile}) {
        SCOPED_TRACE(kind == ssRegistry ? "registry" : "ini");
        const std::string location =
            kind == ssRegistry ? std::string(kLocation) : config.file("port.ini").toStdString();
        TComPort saved;
        saved.SetName("ComPort");
        saved.SetSavedGroups(allGroups());
        setEverything(saved);
        saved.SaveSettings(kind, location);

        TComPort restored;
        restored.SetName("ComPort");
        restored.SetSavedGroups(allGroups());
        restored.RestoreSettings(kind, location);
        expectEverything(restored);
    }
    // The INI file shows the values in the order they are handled, and the
    // characters in their text forms.
    QFile ini(config.file("port.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), "[ComPort]\n"
                             "Port=/dev/ttyUSB3\nBaudRate=Custom\nCustomBaudRate=250000\n"
                             "StopBits=1.5\nDataBits=7\nParity=Mark\nFlowControl=Custom\n"
                             "EventChar=#13\nDiscardNull=Yes\n"
                             "Parity.Check=Yes\nParity.Replace=Yes\nParity.ReplaceChar=#200\n"
                             "Buffer.OutputSize=4096\nBuffer.InputSize=2048\n"
                             "Timeouts.ReadInterval=5\nTimeouts.ReadTotalConstant=6\n"
                             "Timeouts.ReadTotalMultiplier=7\nTimeouts.WriteTotalConstant=8\n"
                             "Timeouts.WriteTotalMultiplier=9\n"
                             "FlowControl.ControlRTS=Toggle\nFlowControl.ControlDTR=Handshake\n"
                             "FlowControl.DSRSensitivity=Yes\nFlowControl.OutCTSFlow=Yes\n"
                             "FlowControl.OutDSRFlow=Yes\nFlowControl.TxContinueOnXoff=Yes\n"
                             "FlowControl.XonXoffIn=Yes\nFlowControl.XonXoffOut=Yes\n"
                             "FlowControl.XoffChar=#32\nFlowControl.XonChar=A\n");
}

TEST(SettingsPersistence, CustomRateAndEventCharacterAreStoredInTheirForms) {
    TemporaryConfig config;
    TComPort port;
    makeOperatorPort(port, "COM3");
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.SetEventChar(13);
    port.SetSavedGroups({sgBasic, sgOthers});
    port.SaveSettings(ssRegistry, kLocation);

    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey(kKey, false), RegistryError::None);
    QString text;
    std::int32_t number = 0;
    EXPECT_EQ(store.readText("BaudRate", text), RegistryError::None);
    EXPECT_EQ(text, "Custom");
    EXPECT_EQ(store.readNumber("CustomBaudRate", number), RegistryError::None);
    EXPECT_EQ(number, 31250);
    EXPECT_EQ(store.readText("EventChar", text), RegistryError::None);
    EXPECT_EQ(text, "#13");
    store.closeKey();

    TComPort restored;
    restored.SetName("ComPort");
    restored.SetSavedGroups({sgBasic, sgOthers});
    restored.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(restored.BaudRate(), brCustom);
    EXPECT_EQ(restored.CustomBaudRate(), 31250);
    EXPECT_EQ(restored.EventChar(), 13);

    // Other groups already in the store are left alone by a save without them.
    port.SetSavedGroups({sgBasic});
    port.SetPort("COM4");
    port.SaveSettings(ssRegistry, kLocation);
    ASSERT_EQ(store.openKey(kKey, false), RegistryError::None);
    EXPECT_EQ(store.readText("EventChar", text), RegistryError::None);
    EXPECT_EQ(text, "#13");
}

TEST(SettingsPersistence, MissingCustomRateFailsAfterPortAndRateWereAssigned) {
    TemporaryConfig config;
    StoredKey().text("Port", "ttyUSB9").text("BaudRate", "Custom").text("StopBits", "1").commit();
    TComPort port;
    makeOperatorPort(port, "COM1");
    try {
        port.RestoreSettings(ssRegistry, kLocation);
        FAIL() << "restoring without CustomBaudRate succeeded";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.LibraryCode(), 17);
        EXPECT_EQ(error.SystemCode(), EComPort::NoSystemCode);
        EXPECT_STREQ(error.what(), "Failed to load settings");
    }
    EXPECT_EQ(port.Port(), "ttyUSB9");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits) << "values after the failure are not read";
    EXPECT_EQ(port.ApplyHold(), 0) << "the hold is released on failure";
}

TEST(SettingsPersistence, TextsParseInAnyCaseAndMissingTextsFallBack) {
    TemporaryConfig config;
    StoredKey()
        .text("Port", "ttyACM0")
        .text("BaudRate", "115200")
        .text("Parity", "none")
        .text("StopBits", "2")
        .text("FlowControl", "hardware")
        .commit();
    TComPort port;
    port.SetName("ComPort");
    port.Parity().SetBits(prEven);
    port.SetDataBits(dbFive);
    port.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.DataBits(), dbEight) << "a missing text parses to the fallback";
    EXPECT_EQ(port.FlowControl().FlowControl(), fcHardware);

    // First run: the key does not exist. Texts read as empty and fall back;
    // an unknown flow-control text leaves the detailed switches alone.
    TComPort fresh;
    fresh.SetName("NeverSaved");
    makeOperatorPort(fresh, "COM7");
    fresh.SetName("NeverSaved");
    fresh.FlowControl().SetControlDTR(dtrEnable);
    fresh.FlowControl().SetOutCTSFlow(true);
    fresh.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(fresh.Port(), "");
    EXPECT_EQ(fresh.BaudRate(), br9600);
    EXPECT_EQ(fresh.StopBits(), sbOneStopBit);
    EXPECT_EQ(fresh.DataBits(), dbEight);
    EXPECT_EQ(fresh.Parity().Bits(), prNone);
    EXPECT_TRUE(fresh.FlowControl().OutCTSFlow());
    EXPECT_EQ(fresh.FlowControl().ControlDTR(), dtrEnable);
}

TEST(SettingsPersistence, LocationChoosesRootAndNeedsABackslash) {
    TemporaryConfig config;
    TComPort port;
    makeOperatorPort(port, "COM5");
    port.SaveSettings(ssRegistry, "hkey_local_machine\\Software\\Tool\\");
    port.SaveSettings(ssRegistry, "HKEY_CURRENT_USER\\Software\\Tool");
    port.SetPort("COM6");
    port.SaveSettings(ssRegistry, "HKLM\\Software\\Other");
    for (const auto& [root, key, expected] :
         {std::tuple{RegistryRoot::LocalMachine, "Software\\Tool\\ComPort", "COM5"},
          std::tuple{RegistryRoot::CurrentUser, "Software\\Tool\\ComPort", "COM5"},
          std::tuple{RegistryRoot::CurrentUser, "Software\\Other\\ComPort", "COM6"}}) {
        RegistryStore store(root);
        ASSERT_EQ(store.openKey(key, false), RegistryError::None) << key;
        QString text;
        store.readText("Port", text);
        EXPECT_EQ(text, expected);
    }

    EXPECT_EQ(libraryCodeOf([&] { port.SaveSettings(ssRegistry, "NoBackslash"); }), 16);
    port.SetPort("COM8");
    EXPECT_EQ(libraryCodeOf([&] { port.RestoreSettings(ssRegistry, "NoBackslash"); }), 0);
    EXPECT_EQ(port.Port(), "");
}

TEST(SettingsPersistence, IniMissingValuesKeepTheSettings) {
    TemporaryConfig config;
    const QString path = config.file("settings.ini");
    TComPort port;
    makeOperatorPort(port, "ttyS1");
    port.SetSavedGroups(allGroups());
    port.Buffer().SetInputSize(4096);
    port.RestoreSettings(ssIniFile, path.toStdString()); // no file at all
    EXPECT_EQ(port.Port(), "ttyS1");
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.Buffer().InputSize(), 4096);
    EXPECT_FALSE(QFile::exists(path)) << "restoring never creates the file";

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[comport]\nBaudRate=custom\nParity=odd\nBuffer.InputSize=lots\n"
               "Timeouts.ReadInterval=  25 \n");
    file.close();
    port.SetCustomBaudRate(12345);
    port.RestoreSettings(ssIniFile, path.toStdString());
    EXPECT_EQ(port.Port(), "ttyS1");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 9600) << "a missing CustomBaudRate defaults to 9600";
    EXPECT_EQ(port.Parity().Bits(), prOdd);
    EXPECT_EQ(port.Buffer().InputSize(), 4096) << "a number that is not one keeps the setting";
    EXPECT_EQ(port.Timeouts().ReadInterval(), 25);
}

TEST(SettingsPersistence, DamagedStoresFailCleanlyAndAreSavedClean) {
    const QList<QByteArray> damaged = {
        "complete garbage\n",
        QByteArray("\x00\xFF\x10\x80", 4),
        "KESTRO-REGISTRY 1\nkey Software\\KESTRO_MODBUS_M\\ComPort\ntext Port " +
            QByteArray(8 * 1024 * 1024, 'A') + "\n",
        "KESTRO-REGISTRY 1\nkey Software\\KESTRO_MODBUS_M\\ComPort\nnumber Port 3\n",
    };
    for (const QByteArray& content : damaged) {
        SCOPED_TRACE(content.left(40).toStdString());
        TemporaryConfig config;
        QFile file(config.file("HKEY_LOCAL_MACHINE.registry"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        TComPort port;
        makeOperatorPort(port, "COM2");
        EXPECT_EQ(libraryCodeOf([&] { port.RestoreSettings(ssRegistry, kLocation); }), 17);
        EXPECT_EQ(port.ApplyHold(), 0);
        port.SaveSettings(ssRegistry, kLocation);

        TComPort restored;
        restored.SetName("ComPort");
        restored.RestoreSettings(ssRegistry, kLocation);
        EXPECT_EQ(restored.Port(), "COM2");
    }

    // Values of the wrong kind where a number belongs fail the restore too.
    TemporaryConfig config;
    StoredKey().text("Port", "COM1").text("Buffer.OutputSize", "1024").commit();
    TComPort port;
    makeOperatorPort(port, "COM2");
    port.SetSavedGroups({sgBasic, sgBuffer});
    EXPECT_EQ(libraryCodeOf([&] { port.RestoreSettings(ssRegistry, kLocation); }), 17);
}

TEST(SettingsPersistence, OddComponentNamesAndPortNamesRoundTrip) {
    TemporaryConfig config;
    const std::string oddName = "Com Port %41\t\\ 端口";
    TComPort port;
    makeOperatorPort(port, "/dev/serial/by-id/usb-FTDI_ 100%\n\\x");
    port.SetName(oddName);
    port.SaveSettings(ssRegistry, kLocation);
    TComPort restored;
    restored.SetName(oddName);
    restored.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(restored.Port(), "/dev/serial/by-id/usb-FTDI_ 100%\n\\x");

    // An INI file cannot hold a line break in a value; the save fails as a
    // whole and leaves no half-written section behind.
    port.SetName("ComPort");
    const QString ini = config.file("odd.ini");
    EXPECT_EQ(libraryCodeOf([&] { port.SaveSettings(ssIniFile, ini.toStdString()); }), 16);
    EXPECT_FALSE(QFile::exists(ini));
}

TEST(SettingsPersistence, AFailedSaveWritesNothing) {
    class FailingPort : public TComPort {
    public:
        void SaveToRegistry(RegistryStore& Registry) override {
            Registry.writeText("Port", "half");
            throw std::runtime_error("disk on fire");
        }
    };
    TemporaryConfig config;
    FailingPort port;
    port.SetName("ComPort");
    EXPECT_EQ(libraryCodeOf([&] { port.SaveSettings(ssRegistry, kLocation); }), 16);
    RegistryStore store(RegistryRoot::LocalMachine);
    EXPECT_EQ(store.openKey(kKey, false), RegistryError::KeyMissing);
}

TEST(SettingsPersistence, RestoringIntoAnOpenPortPushesOnceAndFollowsTheName) {
    TemporaryConfig config;
    PseudoTerminal first;
    PseudoTerminal second;
    ASSERT_EQ(first.Open(), 0);
    ASSERT_EQ(second.Open(), 0);
    StoredKey()
        .text("Port", QString::fromStdString(second.SlavePath()))
        .text("BaudRate", "38400")
        .text("StopBits", "2")
        .text("DataBits", "7")
        .text("Parity", "Even")
        .text("FlowControl", "None")
        .commit();
    CountingPort port;
    port.SetName("ComPort");
    port.SetPort(first.SlavePath());
    port.SetEvents(TComEvents());
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    port.resetCounts();

    port.RestoreSettings(ssRegistry, kLocation);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), second.SlavePath());
    EXPECT_EQ(port.allPushes, 1);
    EXPECT_EQ(port.linePushes, 1);
    termios line{};
    ASSERT_EQ(tcgetattr(second.MasterFd(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B38400) << "the restored speed reached the new device";
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    port.SetConnected(false);
}
