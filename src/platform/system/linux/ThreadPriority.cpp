#include "platform/system/ThreadPriority.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

int SetCurrentThreadPriority(int level) {
    constexpr std::array<int, 7> niceValues = {19, 10, 5, 0, -5, -10, -20};
    const int index = std::clamp(level, -3, 3) + 3;
    const auto threadId = id_t(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, threadId, niceValues[std::size_t(index)]) == 0 ? 0 : errno;
}
