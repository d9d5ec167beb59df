#include "platform/system/TimerSlack.h"

#include <sys/prctl.h>

bool UseFineTimerSlack() {
    constexpr unsigned long OneNanosecond = 1;
    return ::prctl(PR_SET_TIMERSLACK, OneNanosecond, 0, 0, 0) == 0;
}
