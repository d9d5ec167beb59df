#include "platform/serial/SerialPortList.h"

#include <algorithm>
#include <mutex>

namespace {

struct Registrations {
    std::mutex mutex;
    QString sysfsRoot = defaultSerialPortRoot();
    QStringList extraPorts;
};

Registrations& registrations() {
    static Registrations instance;
    return instance;
}

} // namespace

QString serialSysfsRoot() {
    Registrations& state = registrations();
    const std::lock_guard lock(state.mutex);
    return state.sysfsRoot;
}

void setSerialSysfsRoot(const QString& root) {
    Registrations& state = registrations();
    const std::lock_guard lock(state.mutex);
    state.sysfsRoot = root;
}

void registerSerialPort(const QString& path) {
    Registrations& state = registrations();
    const std::lock_guard lock(state.mutex);
    if (!state.extraPorts.contains(path))
        state.extraPorts.append(path);
}

void unregisterSerialPort(const QString& path) {
    Registrations& state = registrations();
    const std::lock_guard lock(state.mutex);
    state.extraPorts.removeAll(path);
}

void sortPortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& left, const QString& right) {
        const int folded = left.compare(right, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : left < right;
    });
}

SerialPortListResult listSerialPortNames() {
    return listSerialPortNames(serialSysfsRoot());
}

SerialPortListResult listSerialPortNames(const QString& sysfsRoot) {
    SerialPortListResult result = systemSerialPortNames(sysfsRoot);
    if (result.error != 0)
        return result;
    {
        Registrations& state = registrations();
        const std::lock_guard lock(state.mutex);
        for (const QString& path : state.extraPorts) {
            const QString name = serialPortNameForPath(path);
            if (!result.names.contains(name))
                result.names.append(name);
        }
    }
    sortPortNames(result.names);
    return result;
}
