// The settings store on the real registry: where each root lands, values
// that survive a round trip, and values of a type or size the store does not
// write, which are reported and repaired by the next save but never crash
// anything.

#include "platform/storage/RegistryStore.h"

#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// The key under HKEY_CURRENT_USER of a root, from the name the store gives.
std::wstring keyOfRoot(RegistryRoot root) {
    const QString full = registryRootFile(root);
    const QString prefix = QStringLiteral("HKEY_CURRENT_USER\\");
    EXPECT_TRUE(full.startsWith(prefix)) << full.toStdString();
    return full.mid(prefix.size()).toStdWString();
}

// Puts a raw value into a key of a root, as another program (or a hand in
// regedit) might have left it.
void putRawValue(RegistryRoot root, const std::wstring& key, const wchar_t* name, DWORD type,
                 const void* data, DWORD size) {
    HKEY opened = nullptr;
    const std::wstring path = keyOfRoot(root) + L"\\" + key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    ::RegCloseKey(opened);
}

bool rawValueType(RegistryRoot root, const std::wstring& key, const wchar_t* name, DWORD& type) {
    const std::wstring path = keyOfRoot(root) + L"\\" + key;
    return ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, nullptr,
                          nullptr) == ERROR_SUCCESS;
}

TEST(RegistryKeys, EveryRootIsTheUsersOwnAndKeptApart) {
    // Without the tests' own key the machine's root would be the program's
    // key under the current user: writing HKEY_LOCAL_MACHINE needs rights
    // an operator does not have.
    const QByteArray tests = qgetenv("KESTRO_REGISTRY_KEY");
    qunsetenv("KESTRO_REGISTRY_KEY");
    EXPECT_EQ(registryRootFile(RegistryRoot::LocalMachine),
              "HKEY_CURRENT_USER\\Software\\KESTRO-MODBUS-M\\HKEY_LOCAL_MACHINE");
    EXPECT_EQ(registryRootFile(RegistryRoot::CurrentUser), "HKEY_CURRENT_USER");
    qputenv("KESTRO_REGISTRY_KEY", tests);

    {
        RegistryStore machine(RegistryRoot::LocalMachine);
        ASSERT_EQ(machine.openKey("Software\\A", true), RegistryError::None);
        ASSERT_EQ(machine.writeText("Where", "machine"), RegistryError::None);
        RegistryStore user(RegistryRoot::CurrentUser);
        ASSERT_EQ(user.openKey("Software\\A", true), RegistryError::None);
        ASSERT_EQ(user.writeText("Where", "user"), RegistryError::None);
    } // the destructors write
    RegistryStore reader(RegistryRoot::LocalMachine);
    QString text;
    ASSERT_EQ(reader.openKey("software\\a", false), RegistryError::None);
    EXPECT_EQ(reader.readText("WHERE", text), RegistryError::None);
    EXPECT_EQ(text, "machine");
    reader.setRoot(RegistryRoot::CurrentUser);
    ASSERT_EQ(reader.openKey("Software\\A", false), RegistryError::None);
    reader.readText("Where", text);
    EXPECT_EQ(text, "user");
}

TEST(RegistryKeys, TextsAndNumbersComeBackAsWrittenWithTheirOwnTypes) {
    const QString chinese = QString::fromUtf8("串口 COM5");
    {
        RegistryStore store(RegistryRoot::LocalMachine);
        ASSERT_EQ(store.openKey("Software\\KESTRO_MODBUS_M\\ComPort", true), RegistryError::None);
        ASSERT_EQ(store.writeText("Port", chinese), RegistryError::None);
        ASSERT_EQ(store.writeText("Empty", ""), RegistryError::None);
        ASSERT_EQ(store.writeNumber("Lowest", INT32_MIN), RegistryError::None);
        ASSERT_EQ(store.writeNumber("Highest", INT32_MAX), RegistryError::None);
        ASSERT_EQ(store.closeKey(), RegistryError::None);
    }
    DWORD type = REG_NONE;
    ASSERT_TRUE(rawValueType(RegistryRoot::LocalMachine, L"Software\\KESTRO_MODBUS_M\\ComPort",
                             L"Port", type));
    EXPECT_EQ(type, DWORD(REG_SZ));
    ASSERT_TRUE(rawValueType(RegistryRoot::LocalMachine, L"Software\\KESTRO_MODBUS_M\\ComPort",
                             L"Lowest", type));
    EXPECT_EQ(type, DWORD(REG_DWORD));

    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey("SOFTWARE\\kestro_modbus_m\\comport", false), RegistryError::None);
    QString text;
    std::int32_t number = 0;
    EXPECT_EQ(store.readText("port", text), RegistryError::None);
    EXPECT_EQ(text, chinese);
    EXPECT_EQ(store.readText("Empty", text), RegistryError::None);
    EXPECT_EQ(text, "");
    EXPECT_EQ(store.readNumber("Lowest", number), RegistryError::None);
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_EQ(store.readNumber("Highest", number), RegistryError::None);
    EXPECT_EQ(number, INT32_MAX);
    EXPECT_EQ(store.readNumber("Port", number), RegistryError::WrongType);
    EXPECT_EQ(store.readText("Missing", text), RegistryError::ValueMissing);
    QStringList names = store.valueNames();
    names.sort();
    EXPECT_EQ(names, QStringList({"Empty", "Highest", "Lowest", "Port"}));
}

TEST(RegistryKeys, AMissingKeyIsReportedAndNotMadeByReading) {
    RegistryStore store(RegistryRoot::LocalMachine);
    EXPECT_EQ(store.openKey("Software\\Nowhere", false), RegistryError::KeyMissing);
    EXPECT_FALSE(store.hasOpenKey());
    DWORD type = REG_NONE;
    EXPECT_FALSE(rawValueType(RegistryRoot::LocalMachine, L"Software\\Nowhere", nullptr, type));
}

struct ForeignValue {
    std::string what;
    DWORD type;
    std::vector<BYTE> data;
};

TEST(RegistryKeys, AValueOfAnotherTypeOrSizeIsDamageThatTheNextSaveRepairs) {
    const std::wstring key = L"Software\\KESTRO_MODBUS_M\\ComPort";
    const std::vector<ForeignValue> foreign = {
        {"a number two bytes long", REG_DWORD, {0x80, 0x25}},
        {"a number eight bytes long", REG_QWORD, {0x80, 0x25, 0, 0, 0, 0, 0, 0}},
        {"bytes", REG_BINARY, {1, 2, 3}},
        {"text of half a character", REG_SZ, {'C', 0, 'O'}},
        {"a list of texts", REG_MULTI_SZ, {'A', 0, 0, 0, 0, 0}},
        {"a number stored big-endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0x25, 0x80}},
    };
    for (const ForeignValue& value : foreign) {
        SCOPED_TRACE(value.what);
        const DWORD good = 1;
        putRawValue(RegistryRoot::LocalMachine, key, L"Address", REG_DWORD, &good, sizeof good);
        putRawValue(RegistryRoot::LocalMachine, key, L"BaudRate", value.type, value.data.data(),
                    DWORD(value.data.size()));

        // Reading finds the damage and refuses the key, as with a damaged
        // file; nothing throws or crashes.
        RegistryStore reader(RegistryRoot::LocalMachine);
        EXPECT_EQ(reader.openKey(QString::fromStdWString(key), false), RegistryError::Damaged);
        EXPECT_FALSE(reader.hasOpenKey());

        // Saving opens the key all the same, with the readable values, and
        // writing the value anew gives it the store's type again.
        {
            RegistryStore writer(RegistryRoot::LocalMachine);
            EXPECT_EQ(writer.openKey(QString::fromStdWString(key), true), RegistryError::Damaged);
            ASSERT_TRUE(writer.hasOpenKey());
            std::int32_t address = 0;
            EXPECT_EQ(writer.readNumber("Address", address), RegistryError::None);
            EXPECT_EQ(address, 1);
            EXPECT_FALSE(writer.valueExists("BaudRate"));
            ASSERT_EQ(writer.writeNumber("BaudRate", 9600), RegistryError::None);
            ASSERT_EQ(writer.closeKey(), RegistryError::None);
        }
        RegistryStore again(RegistryRoot::LocalMachine);
        ASSERT_EQ(again.openKey(QString::fromStdWString(key), false), RegistryError::None);
        std::int32_t rate = 0;
        EXPECT_EQ(again.readNumber("BaudRate", rate), RegistryError::None);
        EXPECT_EQ(rate, 9600);
    }
}

TEST(RegistryKeys, AnOverLongTextIsDamageNotAnAllocation) {
    // Larger than any settings file the Linux twin would read.
    const std::wstring text(RegistryStore::kMaximumFileSize / sizeof(wchar_t) + 16, L'x');
    putRawValue(RegistryRoot::LocalMachine, L"Software\\Big", L"Huge", REG_SZ, text.c_str(),
                DWORD((text.size() + 1) * sizeof(wchar_t)));
    RegistryStore reader(RegistryRoot::LocalMachine);
    EXPECT_EQ(reader.openKey("Software\\Big", false), RegistryError::Damaged);
}

} // namespace
