// The port list from the registry's port map, pointed at a map of the test's
// own: the drivers' texts are the ports, anything else in the map is not.

#include "platform/serial/SerialPortList.h"

#include <QString>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

class PortMap : public testing::Test {
protected:
    void SetUp() override {
        m_key = QString::fromUtf8(qgetenv("KESTRO_REGISTRY_KEY")) + QStringLiteral("\\SERIALCOMM");
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, m_key.toStdWString().c_str(), 0, nullptr, 0,
                                    KEY_SET_VALUE, nullptr, &m_map, nullptr),
                  ERROR_SUCCESS);
        setSerialSysfsRoot(root());
    }
    void TearDown() override {
        ::RegCloseKey(m_map);
        setSerialSysfsRoot(defaultSerialPortRoot());
    }
    QString root() const { return QStringLiteral("HKEY_CURRENT_USER\\") + m_key; }
    void port(const wchar_t* device, const wchar_t* name) {
        ASSERT_EQ(::RegSetValueExW(m_map, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                                   DWORD((wcslen(name) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    QString m_key;
    HKEY m_map = nullptr;
};

TEST_F(PortMap, TheDriversPortsAndTheProgramsOwnAreListedInTextOrder) {
    port(L"\\Device\\Serial0", L"COM1");
    port(L"\\Device\\VCP0", L"COM10");
    port(L"\\Device\\USBSER000", L"COM5");
    // A text without its null, as a careless driver may write it, still
    // names its port in full.
    const wchar_t unended[] = {L'C', L'O', L'M', L'2'};
    ASSERT_EQ(::RegSetValueExW(m_map, L"\\Device\\Serial1", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(unended), sizeof unended),
              ERROR_SUCCESS);
    // Not text: not a port.
    const DWORD number = 7;
    ASSERT_EQ(::RegSetValueExW(m_map, L"\\Device\\Odd", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    registerSerialPort(QStringLiteral("\\\\.\\COM7"));

    const SerialPortListResult listed = listSerialPortNames();
    unregisterSerialPort(QStringLiteral("\\\\.\\COM7"));
    EXPECT_EQ(listed.error, 0);
    EXPECT_EQ(listed.names, QStringList({"COM1", "COM10", "COM2", "COM5", "COM7"}));
}

TEST_F(PortMap, AMachineWithoutPortsHasNoMapAndThatIsNoError) {
    const SerialPortListResult listed = listSerialPortNames(root() + QStringLiteral("\\NotThere"));
    EXPECT_EQ(listed.error, 0);
    EXPECT_TRUE(listed.names.isEmpty());
}

TEST_F(PortMap, ARootThatIsNoRegistryKeyIsAnError) {
    const SerialPortListResult listed = listSerialPortNames(QStringLiteral("/sys"));
    EXPECT_NE(listed.error, 0);
    EXPECT_TRUE(listed.names.isEmpty());
}

TEST(PortNames, DevicePathsAndPortNamesGoBothWays) {
    EXPECT_EQ(serialPortNameForPath(QStringLiteral("\\\\.\\COM12")), "COM12");
    EXPECT_EQ(serialPortNameForPath(QStringLiteral("COM3")), "COM3");
}

} // namespace
