#include "platform/system/ThreadPriority.h"

#include <algorithm>
#include <array>
#include <windows.h>

int SetCurrentThreadPriority(int level) {
    constexpr std::array<int, 7> priorities = {
        THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,       THREAD_PRIORITY_BELOW_NORMAL,
        THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
        THREAD_PRIORITY_TIME_CRITICAL};
    const int index = std::clamp(level, -3, 3) + 3;
    return ::SetThreadPriority(::GetCurrentThread(), priorities[std::size_t(index)])
               ? 0
               : int(::GetLastError());
}
