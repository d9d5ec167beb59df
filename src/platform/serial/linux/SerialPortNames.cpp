#include "platform/serial/SerialPortList.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

// The ports of a Linux machine are its ttys with hardware behind them, as
// sysfs shows them; a device /dev/NAME is named NAME.

namespace {

constexpr char kDevicePrefix[] = "/dev/";
// serial_core reports "0" (PORT_UNKNOWN) in the type attribute of a port
// whose UART was not found, as for most of the ttyS ports of a PC.
constexpr char kUnknownUartType[] = "0";

bool pathExists(const QByteArray& path) {
    struct stat status {};
    return ::stat(path.constData(), &status) == 0;
}

// True when the tty has real hardware behind it. The first line of the type
// attribute is all that matters; a missing attribute means a driver other
// than serial_core, which only registers ports that exist.
bool hasHardware(const QByteArray& entry) {
    if (!pathExists(entry + "/device"))
        return false;
    QFile type(QFile::decodeName(entry + "/type"));
    if (!type.open(QIODevice::ReadOnly))
        return true;
    const QByteArray value = type.readLine(32).trimmed();
    return value != kUnknownUartType;
}

} // namespace

QString defaultSerialPortRoot() {
    return QStringLiteral("/sys");
}

QString serialPortNameForPath(const QString& path) {
    const QString prefix = QString::fromLatin1(kDevicePrefix);
    if (path.startsWith(prefix) && !path.mid(prefix.size()).contains(QLatin1Char('/')))
        return path.mid(prefix.size());
    return path;
}

SerialPortListResult systemSerialPortNames(const QString& sysfsRoot) {
    SerialPortListResult result;
    const QByteArray classFolder = QFile::encodeName(sysfsRoot) + "/class/tty";
    DIR* folder = ::opendir(classFolder.constData());
    if (folder == nullptr) {
        result.error = errno;
        return result;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        if (hasHardware(classFolder + '/' + name))
            result.names.append(QFile::decodeName(name));
        errno = 0;
    }
    const int readError = errno;
    ::closedir(folder);
    if (readError != 0) {
        result.error = readError;
        result.names.clear();
    }
    return result;
}
