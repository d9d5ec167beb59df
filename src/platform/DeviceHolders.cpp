#include "DeviceHolders.h"

#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using Directory = std::unique_ptr<DIR, DirectoryCloser>;

// A process id from a /proc entry name, or 0 for anything else.
pid_t processId(const char* name) {
    char* end = nullptr;
    const long value = std::strtol(name, &end, 10);
    return (end != name && *end == '\0' && value > 0) ? pid_t(value) : 0;
}

bool processHoldsDevice(pid_t process, dev_t device) {
    const std::string descriptors = "/proc/" + std::to_string(process) + "/fd";
    // Another user's process, or one that ended meanwhile: nothing to see.
    const Directory directory(::opendir(descriptors.c_str()));
    if (!directory) {
        return false;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        // stat() follows the descriptor's link to what it has open.
        struct stat target {};
        const std::string path = descriptors + "/" + entry->d_name;
        if (::stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == device) {
            return true;
        }
    }
    return false;
}

} // namespace

bool OtherProcessHoldsDevice(dev_t device) {
    const Directory processes(::opendir("/proc"));
    if (!processes) {
        return false;
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(processes.get())) {
        const pid_t process = processId(entry->d_name);
        if (process != 0 && process != self && processHoldsDevice(process, device)) {
            return true;
        }
    }
    return false;
}
