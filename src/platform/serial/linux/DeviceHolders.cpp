#include "platform/serial/DeviceHolders.h"

#include <array>
#include <cstdlib>
#include <dirent.h>
#include <memory>
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

std::string linkText(const std::string& link) {
    std::array<char, 4096> text{};
    const ssize_t length = ::readlink(link.c_str(), text.data(), text.size());
    if (length <= 0 || std::size_t(length) >= text.size()) {
        return std::string();
    }
    return std::string(text.data(), std::size_t(length));
}

bool processHoldsPath(pid_t process, const std::string& path) {
    const std::string descriptors = "/proc/" + std::to_string(process) + "/fd";
    // Another user's process, or one that ended meanwhile: nothing to see.
    const Directory directory(::opendir(descriptors.c_str()));
    if (!directory) {
        return false;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] != '.' && linkText(descriptors + "/" + entry->d_name) == path) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string OpenDescriptorPath(int fd) {
    return linkText("/proc/self/fd/" + std::to_string(fd));
}

bool OtherProcessHoldsPath(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const Directory processes(::opendir("/proc"));
    if (!processes) {
        return false;
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(processes.get())) {
        const pid_t process = processId(entry->d_name);
        if (process != 0 && process != self && processHoldsPath(process, path)) {
            return true;
        }
    }
    return false;
}
