#include "platform/system/TimerSlack.h"

#include <windows.h>

bool UseFineTimerSlack() {
    // Held for the life of the process: Windows drops the request when it ends.
    return ::timeBeginPeriod(1) == TIMERR_NOERROR;
}
