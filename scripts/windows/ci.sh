#!/usr/bin/env bash
# The Windows step of CI (.ci/run), last, after the Linux passes: the Windows
# release built and tested under Wine, for as long as the time left allows.
#
#   scripts/windows/ci.sh SECONDS_USED_SO_FAR
#
# CI runs a clean checkout on a fresh 2-core machine every time, so no Windows
# Qt from an earlier run is ever there: each run that builds the release
# builds Qt's base module first: 34 minutes of CPU, about 17 on an idle
# 2-core machine (52 measured beside other builds on our shared builder); the
# tool and its tests 263 s from clean, the Wine tests under a minute
# (docs/windows.md). With the Linux passes taking 30 to 40 minutes it fits
# under CI's 90-minute limit when the machine is quiet; when it does not,
# this step says so loudly and is skipped. It runs whole where Qt is found
# ready:
# KESTRO_WINDOWS_QT names a Windows Qt, or build-windows/qt holds one (a
# machine that keeps its build folder, such as a developer's running
# .ci/run at home).
#
# Whatever happens, .ci/run ends within 80 minutes, ten under the limit:
# every step below (installing the tools, building Qt, building the tool,
# the tests under Wine) runs under `timeout` set from the time left, and one
# that would not fit in it is not started. A step cut by the time limit, a
# machine that lacks the tools or cannot fetch Qt's source: reported loudly,
# the step is skipped and the run goes on (exit 0); that says nothing about
# the code. A build or a test that fails fails the step.
set -uo pipefail
cd "$(dirname "$0")/../.."

used=${1:-0}
# Everything must be over this long after .ci/run started.
budget=$((80 * 60))
# What each step needs at the least on an otherwise idle 2-core machine, from
# the times measured (Qt's base module: 34 minutes of CPU, so about 17 on two
# cores; the tool and its tests: 263 s from clean; the Wine run: under a
# minute), so that a step that cannot finish in the time left is not begun
# only to be cut. A step begun gets all the time left, not just its need.
install_need=$((5 * 60))
qt_need=$((20 * 60))
tool_need=$((8 * 60))
tests_need=$((3 * 60))
# Kept back for what timeout does after the limit: a TERM, 30 s for the
# step to clean up (Wine, Xvfb, its scratch folder), then a KILL.
grace=60
began=$SECONDS

left() {
    echo $((budget - used - (SECONDS - began) - grace))
}

loudly() {
    printf '\n%s\n*** WINDOWS STEP: %s\n%s\n\n' "$(printf '*%.0s' {1..72})" "$*" \
        "$(printf '*%.0s' {1..72})"
}

# timed NAME NEED COMMAND...: runs the command under the time left, if it
# needs no more than that. Exits this script with 0 for a step skipped or cut
# by the time limit, or for a machine that cannot do it (build.sh's status 3);
# returns the command's failure otherwise.
timed() {
    local name=$1 need=$2
    shift 2
    local limit
    limit=$(left)
    if [ "$limit" -lt "$need" ]; then
        loudly "SKIPPED: $name needs at least $((need / 60)) minutes and" \
            "$((limit > 0 ? limit / 60 : 0)) are left under the 80-minute ceiling" \
            "($((used / 60)) went to the Linux passes)"
        exit 0
    fi
    echo "+ $name, for at most $((limit / 60)) minutes: $*"
    local start=$SECONDS status=0
    timeout --kill-after=30 "$limit" "$@" || status=$?
    echo "($name took $((SECONDS - start)) s; the Windows step so far $((SECONDS - began)) s)"
    case $status in
    0) return 0 ;;
    124 | 137)
        loudly "SKIPPED: $name was cut by the time limit after $((SECONDS - start)) s;" \
            "nothing was wrong with it, the time ran out"
        exit 0
        ;;
    3)
        loudly "SKIPPED: this machine cannot do $name (a tool or Qt's source is missing; see above)"
        exit 0
        ;;
    *)
        loudly "FAILED: $name (status $status)"
        exit $status
        ;;
    esac
}

if [ "$(id -u)" -eq 0 ]; then
    timed "installing the Windows tools" $install_need \
        bash -c 'scripts/windows/install-deps.sh || exit 3'
fi

qt=${KESTRO_WINDOWS_QT:-build-windows/qt}
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    qt=build-windows/qt
    # A Qt built now is only worth it if the tool and its tests can follow.
    timed "building the Windows Qt (no Qt is ever cached on a fresh CI machine)" \
        $((qt_need + tool_need + tests_need)) scripts/windows/build.sh --qt-only
fi
timed "building the Windows release and its tests" $((tool_need + tests_need)) \
    scripts/windows/build.sh --qt "$qt" --build-tests
timed "testing the Windows release under Wine" $tests_need \
    scripts/windows/test.sh --qt "$qt"
loudly "PASSED: the Windows release built and tested under Wine in $((SECONDS - began)) s"
