#!/usr/bin/env bash
# The Windows step of CI (.ci/run), after the Linux passes: the Windows
# release built and tested under Wine (build.sh --tests).
#
# Building Qt's base module for Windows takes 20 minutes of a 2-core
# machine's time when nothing else runs, and more than 50 beside other work
# (docs/windows.md gives the figures): with the Linux passes (21 minutes)
# and the tool's own build and tests it may not fit under CI's 90-minute
# limit. So Qt is built once into build-windows/ and the runs after it on
# the same machine reuse it. A run that finds no Qt there builds it for as
# long as the limit allows (a build cut short goes on in the next run), and
# builds and tests the tool too when the time left allows.
#
#   scripts/windows/ci.sh SECONDS_USED_SO_FAR
#
# A machine that lacks the tools or cannot fetch Qt's source is reported
# loudly and the step is skipped: that says nothing about the code. A build or
# test that fails fails the step.
set -uo pipefail
cd "$(dirname "$0")/../.."

used=${1:-0}
limit=$((90 * 60))
# What the tool's build and tests may take, with a margin over what was
# measured (docs/windows.md), and the time kept back at the end.
tool_allowance=$((30 * 60))
margin=$((5 * 60))
qt=build-windows/qt

loudly() {
    printf '\n%s\n*** WINDOWS STEP: %s\n%s\n\n' "$(printf '*%.0s' {1..72})" "$*" \
        "$(printf '*%.0s' {1..72})"
}

if [ "$(id -u)" -eq 0 ] && ! scripts/windows/install-deps.sh; then
    loudly "SKIPPED: the Windows tools (mingw-w64, Wine, ...) could not be installed"
    exit 0
fi

if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    left=$((limit - used - margin))
    if [ $left -lt $((10 * 60)) ]; then
        loudly "SKIPPED: no Windows Qt is cached in $qt and no time is left to build it;" \
            "run scripts/windows/build.sh --qt-only on this machine"
        exit 0
    fi
    loudly "no Windows Qt cached in $qt: building it now, once for this machine," \
        "for at most $((left / 60)) minutes"
    began=$SECONDS
    timeout --kill-after=30 $left scripts/windows/build.sh --qt-only
    status=$?
    used=$((used + SECONDS - began))
    case $status in
    0) ;;
    3)
        loudly "SKIPPED: this machine cannot build the Windows Qt (see above)"
        exit 0
        ;;
    124 | 137)
        loudly "SKIPPED the tool this time: the Windows Qt's build was cut short by the" \
            "time limit; the next run goes on with it from where it stopped"
        exit 0
        ;;
    *) exit $status ;;
    esac
fi

if [ $((used + tool_allowance)) -gt $limit ]; then
    loudly "SKIPPED the tool this time: the Windows Qt took the time left; the next" \
        "run builds and tests the tool against the Qt now cached in $qt"
    exit 0
fi
loudly "building and testing the Windows release against the Qt cached in $qt"
scripts/windows/build.sh --tests
status=$?
if [ $status -eq 3 ]; then
    loudly "SKIPPED: this machine lacks a tool the Windows build needs (see above)"
    exit 0
fi
exit $status
