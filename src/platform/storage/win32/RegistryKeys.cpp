#include "platform/storage/RegistryStore.h"

#include <QDir>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>
#include <windows.h>

// The store's roots are keys of the real registry under HKEY_CURRENT_USER
// (see the header). Only the opened key is read; each change is written
// when the key is closed.

namespace {

constexpr wchar_t kProgramKey[] = L"Software\\KESTRO-MODBUS-M";

// The key under HKEY_CURRENT_USER that holds the root, empty for
// HKEY_CURRENT_USER itself.
QString rootKeyPath(RegistryRoot root) {
    const QString tests = qEnvironmentVariable("KESTRO_REGISTRY_KEY");
    if (!tests.isEmpty())
        return tests + QLatin1Char('\\') + registryRootName(root);
    if (root == RegistryRoot::CurrentUser)
        return QString();
    return QString::fromWCharArray(kProgramKey) + QLatin1Char('\\') + registryRootName(root);
}

std::wstring keyPathOf(RegistryRoot root, const QStringList& path) {
    QStringList elements = RegistryStore::splitPath(rootKeyPath(root));
    elements.append(path);
    return elements.join(QLatin1Char('\\')).toStdWString();
}

class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (m_key != nullptr)
            ::RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* receive() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// One value as the store knows it, or nothing for a value of another type or
// size: a REG_SZ (or REG_EXPAND_SZ) of whole UTF-16 characters, ended by a
// null or not, or a REG_DWORD of exactly four bytes.
std::optional<RegistryValue> valueOf(const wchar_t* name, DWORD nameLength, DWORD type,
                                     const std::vector<BYTE>& data, DWORD size) {
    RegistryValue value;
    value.name = QString::fromWCharArray(name, qsizetype(nameLength));
    if (value.name.size() > RegistryStore::kMaximumNameLength)
        return std::nullopt;
    if (type == REG_DWORD) {
        if (size != sizeof(DWORD))
            return std::nullopt;
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        value.kind = RegistryValueKind::Number;
        value.number = std::int32_t(number);
        return value;
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        if (size % sizeof(wchar_t) != 0)
            return std::nullopt;
        std::u16string text(size / sizeof(char16_t), u'\0');
        std::memcpy(text.data(), data.data(), size);
        while (!text.empty() && text.back() == u'\0')
            text.pop_back();
        value.text = QString::fromStdU16String(text);
        return value;
    }
    return std::nullopt;
}

} // namespace

QString registryFolder() {
    const QString overridden = qEnvironmentVariable("KESTRO_CONFIG_DIR");
    if (!overridden.isEmpty())
        return overridden;
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty() && QDir::isAbsolutePath(appData))
        return QDir::fromNativeSeparators(appData) + QStringLiteral("/kestro-modbus-m");
    return QDir::homePath() + QStringLiteral("/AppData/Roaming/kestro-modbus-m");
}

QString registryRootFile(RegistryRoot root) {
    const QString below = rootKeyPath(root);
    return below.isEmpty() ? QStringLiteral("HKEY_CURRENT_USER")
                           : QStringLiteral("HKEY_CURRENT_USER\\") + below;
}

RegistryError RegistryStore::loadTree(RegistryTree& tree, const QStringList& keyPath) {
    tree = RegistryTree();
    OpenKey key;
    const LSTATUS opened = ::RegOpenKeyExW(HKEY_CURRENT_USER, keyPathOf(m_root, keyPath).c_str(), 0,
                                           KEY_QUERY_VALUE, key.receive());
    if (opened == ERROR_FILE_NOT_FOUND)
        return RegistryError::None;
    if (opened != ERROR_SUCCESS) {
        m_systemCode = int(opened);
        return RegistryError::SystemError;
    }
    tree.create(keyPath);
    DWORD longestName = 0;
    DWORD longestData = 0;
    const LSTATUS asked =
        ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &longestName, &longestData, nullptr, nullptr);
    if (asked != ERROR_SUCCESS) {
        m_systemCode = int(asked);
        return RegistryError::SystemError;
    }
    // A value larger than any file the Linux twin would read is not read
    // either: it is damage, not settings.
    const DWORD dataRoom = DWORD(std::min<std::size_t>(longestData, kMaximumFileSize));
    std::vector<wchar_t> name(std::size_t(longestName) + 1);
    std::vector<BYTE> data(std::max<DWORD>(dataRoom, sizeof(DWORD)));
    bool damaged = false;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = DWORD(name.size());
        DWORD size = DWORD(data.size());
        DWORD type = REG_NONE;
        const LSTATUS read = ::RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr,
                                             &type, data.data(), &size);
        if (read == ERROR_NO_MORE_ITEMS)
            break;
        if (read == ERROR_MORE_DATA) {
            damaged = true;
            continue;
        }
        if (read != ERROR_SUCCESS) {
            m_systemCode = int(read);
            return RegistryError::SystemError;
        }
        if (const std::optional<RegistryValue> value =
                valueOf(name.data(), nameLength, type, data, size))
            tree.setValue(keyPath, *value);
        else
            damaged = true;
    }
    return damaged ? RegistryError::Damaged : RegistryError::None;
}

RegistryError RegistryStore::flush() {
    for (const Change& change : m_pending) {
        OpenKey key;
        const LSTATUS created = ::RegCreateKeyExW(
            HKEY_CURRENT_USER, keyPathOf(m_root, change.path).c_str(), 0, nullptr,
            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.receive(), nullptr);
        if (created != ERROR_SUCCESS) {
            m_systemCode = int(created);
            return RegistryError::SystemError;
        }
        if (!change.value)
            continue;
        const std::wstring name = change.value->name.toStdWString();
        LSTATUS written = ERROR_SUCCESS;
        if (change.value->kind == RegistryValueKind::Number) {
            const DWORD number = DWORD(change.value->number);
            written = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else {
            const std::wstring text = change.value->text.toStdWString();
            written = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(text.c_str()),
                                       DWORD((text.size() + 1) * sizeof(wchar_t)));
        }
        if (written != ERROR_SUCCESS) {
            m_systemCode = int(written);
            return RegistryError::SystemError;
        }
    }
    return RegistryError::None;
}
