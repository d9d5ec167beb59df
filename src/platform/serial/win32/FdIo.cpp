#include "platform/serial/FdIo.h"

#include <cerrno>
#include <windows.h>

// The byte streams these functions serve (a pseudo-terminal's master end)
// do not exist on Windows (see PseudoTerminal): they answer as for a
// descriptor that is not there. Only the stop signal, an EventFd's event,
// is real here.

namespace FdIo {

WaitResult WaitReadable(int, int, std::optional<std::chrono::microseconds>) {
    return WaitResult::Failed;
}

WaitResult WaitAnyReadable(std::span<const int> fds, int,
                           std::optional<std::chrono::steady_clock::time_point>,
                           std::vector<bool>& readable) {
    readable.assign(fds.size(), false);
    return WaitResult::Failed;
}

bool SleepUnlessStopped(int stopFd, std::chrono::microseconds duration) {
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
    if (stopFd < 0) {
        ::Sleep(DWORD(milliseconds));
        return false;
    }
    return ::WaitForSingleObject(::LongToHandle(stopFd), DWORD(milliseconds)) == WAIT_OBJECT_0;
}

std::ptrdiff_t ReadAvailable(int, std::span<std::uint8_t>) {
    return -EBADF;
}

std::size_t WriteAll(int, std::span<const std::uint8_t>, int, std::chrono::milliseconds) {
    return 0;
}

std::optional<LineFormat> ReadLineFormat(int) {
    return std::nullopt;
}

} // namespace FdIo
