#pragma once
// The libmodbus master the CPU benchmarks measure the tool against: it reads
// the same 20 registers the tool polls, then pauses as the tool does after a
// reply, until it is terminated.

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <modbus.h>

namespace processcpu {

[[noreturn]] inline void readForEver(modbus_t* context, int pauseMs) {
    std::array<std::uint16_t, 20> registers{};
    bool failed = false;
    for (;;) {
        if (modbus_read_registers(context, 0, 20, registers.data()) != 20 && !failed) {
            failed = true;
            std::fprintf(stderr, "libmodbus master: a read failed: %s\n", modbus_strerror(errno));
        }
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_nsec += long(pauseMs) * 1'000'000L;
        until.tv_sec += until.tv_nsec / 1'000'000'000L;
        until.tv_nsec %= 1'000'000'000L;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
        }
    }
}

} // namespace processcpu
