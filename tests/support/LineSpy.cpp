// A library put in front of a program under test (LD_PRELOAD) that writes
// down everything the program does to a terminal that could reach the far
// end of its line: bytes written, modem lines set or cleared, the RS-485
// mode, a break, XON/XOFF sent or flow control asked of the driver. The
// file named by KESTRO_LINE_SPY gets one line per call. Calls on anything
// that is not a terminal (pipes, files, event descriptors) are not noted.

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

using IoctlFunction = int (*)(int, unsigned long, void*);
using WriteFunction = ssize_t (*)(int, const void*, size_t);
using WritevFunction = ssize_t (*)(int, const iovec*, int);

IoctlFunction realIoctl() {
    static const auto function = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
    return function;
}

bool isTerminal(int fd) {
    termios2 attributes{};
    return realIoctl()(fd, TCGETS2, &attributes) == 0;
}

void note(const char* what, unsigned long value) {
    const char* path = getenv("KESTRO_LINE_SPY");
    if (path == nullptr) {
        return;
    }
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s %lx\n", what, value);
        std::fclose(file);
    }
}

// Whether setting these attributes asks the driver to drive RTS or send
// XON/XOFF by itself.
bool asksForFlowControl(unsigned long request, const void* argument) {
    if (request == TCSETS2 || request == TCSETSW2 || request == TCSETSF2) {
        const auto* attributes = static_cast<const termios2*>(argument);
        return (attributes->c_cflag & CRTSCTS) != 0 || (attributes->c_iflag & (IXON | IXOFF)) != 0;
    }
    if (request == TCSETS || request == TCSETSW || request == TCSETSF) {
        const auto* attributes = static_cast<const termios*>(argument);
        return (attributes->c_cflag & CRTSCTS) != 0 || (attributes->c_iflag & (IXON | IXOFF)) != 0;
    }
    return false;
}

bool drivesTheLine(unsigned long request) {
    switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET:
    case TIOCSRS485:
    case TIOCSBRK:
    case TIOCCBRK:
    case TCSBRK:
    case TCSBRKP:
    case TCXONC:
    case TIOCSTI:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if ((drivesTheLine(request) || asksForFlowControl(request, argument)) && isTerminal(fd)) {
        note("ioctl", request);
    }
    return realIoctl()(fd, request, argument);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    static const auto real = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    if (count > 0 && isTerminal(fd)) {
        note("write", count);
    }
    return real(fd, buffer, count);
}

extern "C" ssize_t writev(int fd, const iovec* vector, int count) {
    static const auto real = reinterpret_cast<WritevFunction>(dlsym(RTLD_NEXT, "writev"));
    if (count > 0 && isTerminal(fd)) {
        note("writev", static_cast<unsigned long>(count));
    }
    return real(fd, vector, count);
}
