#pragma once
// Long tests: those that wait out minutes on a line (a scan of every rate)
// run only when KESTRO_LONG_TESTS is set, so that a first test run stays
// short. CI runs them on their own after the suite:
//
//     KESTRO_LONG_TESTS=1 ctest --test-dir build-test -L long
//
// Register their program with kestro_add_test(... LONG), which labels them
// "long" and has CTest show them as skipped when they are not run.

#include <QtGlobal>
#include <gtest/gtest.h>

#define KESTRO_LONG_TEST()                                                                         \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("KESTRO_LONG_TESTS")) {                                    \
            GTEST_SKIP() << "a long test: set KESTRO_LONG_TESTS=1 to run it";                      \
        }                                                                                          \
    } while (false)
