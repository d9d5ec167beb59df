#include "platform/serial/SymbolicLink.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

int pointLinkAt(const std::string& linkPath, const std::string& target) {
    // The new link is made beside the old one and renamed over it.
    const std::string fresh = linkPath + ".new-" + std::to_string(::getpid());
    ::unlink(fresh.c_str());
    if (::symlink(target.c_str(), fresh.c_str()) != 0) {
        return errno;
    }
    if (std::rename(fresh.c_str(), linkPath.c_str()) != 0) {
        const int error = errno;
        ::unlink(fresh.c_str());
        return error;
    }
    return 0;
}

int removeLink(const std::string& linkPath) {
    if (::unlink(linkPath.c_str()) != 0 && errno != ENOENT) {
        return errno;
    }
    return 0;
}
