#include "platform/serial/SerialPortList.h"

#include <vector>
#include <windows.h>

// The serial drivers publish their ports in the registry's port map: one
// value per port, named after the driver's device, whose text is the port's
// name (COM1, COM5, ...). A machine without serial ports has no map at all.

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";

// The registry root and the key below it of a full key name.
bool splitKeyName(const QString& name, HKEY& root, std::wstring& below) {
    const qsizetype slash = name.indexOf(QLatin1Char('\\'));
    const QString rootName = slash < 0 ? name : name.left(slash);
    if (rootName.compare(QLatin1String("HKEY_LOCAL_MACHINE"), Qt::CaseInsensitive) == 0)
        root = HKEY_LOCAL_MACHINE;
    else if (rootName.compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) == 0)
        root = HKEY_CURRENT_USER;
    else
        return false;
    below = slash < 0 ? std::wstring() : name.mid(slash + 1).toStdWString();
    return true;
}

} // namespace

QString defaultSerialPortRoot() {
    return QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

QString serialPortNameForPath(const QString& path) {
    const QString prefix = QString::fromLatin1(kDevicePrefix);
    return path.startsWith(prefix) ? path.mid(prefix.size()) : path;
}

SerialPortListResult systemSerialPortNames(const QString& root) {
    SerialPortListResult result;
    HKEY rootKey = nullptr;
    std::wstring below;
    if (!splitKeyName(root, rootKey, below)) {
        result.error = ERROR_INVALID_NAME;
        return result;
    }
    HKEY map = nullptr;
    const LSTATUS opened = ::RegOpenKeyExW(rootKey, below.c_str(), 0, KEY_QUERY_VALUE, &map);
    if (opened == ERROR_FILE_NOT_FOUND)
        return result;
    if (opened != ERROR_SUCCESS) {
        result.error = int(opened);
        return result;
    }
    DWORD longestName = 0;
    DWORD longestData = 0;
    LSTATUS status = ::RegQueryInfoKeyW(map, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, &longestName, &longestData, nullptr, nullptr);
    std::vector<wchar_t> name(std::size_t(longestName) + 1);
    // Room for one more character than the longest text, so that a text
    // without its null still ends.
    std::vector<wchar_t> data(std::size_t(longestData) / sizeof(wchar_t) + 1);
    for (DWORD index = 0; status == ERROR_SUCCESS; ++index) {
        DWORD nameLength = DWORD(name.size());
        DWORD size = DWORD((data.size() - 1) * sizeof(wchar_t));
        DWORD type = REG_NONE;
        status = ::RegEnumValueW(map, index, name.data(), &nameLength, nullptr, &type,
                                 reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            status = ERROR_SUCCESS;
            break;
        }
        // A port name is text; anything else in the map is not a port.
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[size / sizeof(wchar_t)] = L'\0';
        const QString port = QString::fromWCharArray(data.data()).trimmed();
        if (!port.isEmpty() && !result.names.contains(port))
            result.names.append(port);
    }
    ::RegCloseKey(map);
    if (status != ERROR_SUCCESS) {
        result.error = int(status);
        result.names.clear();
    }
    return result;
}
