// The window's port settings kept in the registry: a value another program
// left there with a type the store does not write is reported once the
// window shows, the window still comes up whole, and closing it stores the
// settings with their own types again.

#include "platform/storage/RegistryStore.h"
#include "ui/main/Unit1.h"
#include "widgets/grid/FramedStringGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

namespace {

// Where the window keeps its port settings: the machine root's key for
// SettingsKey, below the tests' own key.
std::wstring portSettingsKey() {
    const QString root = registryRootFile(RegistryRoot::LocalMachine);
    return root.mid(QStringLiteral("HKEY_CURRENT_USER\\").size()).toStdWString() +
           L"\\Software\\KESTRO_MODBUS_M\\ComPort";
}

bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

TEST(WindowSettings, AValueOfAForeignTypeIsReportedAndTheWindowComesUpWhole) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, portSettingsKey().c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t port[] = L"COM5";
    ASSERT_EQ(
        ::RegSetValueExW(key, L"Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port), sizeof port),
        ERROR_SUCCESS);
    const BYTE bytes[] = {0x80, 0x25};
    ASSERT_EQ(::RegSetValueExW(key, L"BaudRate", 0, REG_BINARY, bytes, sizeof bytes),
              ERROR_SUCCESS);
    ::RegCloseKey(key);

    std::vector<QString> messages;
    {
        TForm1 form;
        form.SetMessageSink([&](const QString&, const QString& text) { messages.push_back(text); });
        ASSERT_TRUE(form.RestoreFailure().has_value());
        // The forced framing and the filled table, as after a clean start.
        EXPECT_EQ(form.ComPort.DataBits(), dbEight);
        EXPECT_EQ(form.ComPort.StopBits(), sbTwoStopBits);
        EXPECT_EQ(form.ComPort.Parity().Bits(), prNone);
        EXPECT_EQ(form.sg1->Cells(1, 0), "寄存器说明");
        EXPECT_EQ(form.sg1->Cells(3, 1), "输出继电器值");

        form.show();
        ASSERT_TRUE(waitFor([&] { return !messages.empty(); }));
        ASSERT_EQ(messages.size(), 1U);
        EXPECT_TRUE(messages[0].startsWith("Failed to load settings")) << messages[0].toStdString();
        // It names the key, so that the operator can look at it.
        EXPECT_TRUE(messages[0].contains(registryRootFile(RegistryRoot::LocalMachine)))
            << messages[0].toStdString();
        form.close();
    }

    DWORD type = REG_NONE;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, portSettingsKey().c_str(), L"BaudRate", RRF_RT_ANY,
                             &type, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey("Software\\KESTRO_MODBUS_M\\ComPort", false), RegistryError::None);
}

} // namespace
