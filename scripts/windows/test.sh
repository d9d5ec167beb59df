#!/usr/bin/env bash
# Tests the Windows release under Wine, in a Wine prefix made afresh for the
# run (and removed after it):
#  1. the test programs of the cross build (build.sh --tests), through CTest,
#     with two COM ports joined by a pseudo-terminal pair for the line tests;
#  2. the release zip unpacked: --version and --help, then the runner polling
#     the Linux virtual module through COM5, which Wine maps to the module's
#     pseudo-terminal: it reads the registers, writes one, records the
#     traffic; a missing port, Ctrl+C; --simulate, which serves the virtual
#     module over TCP on Windows, polled by the runner and put through the
#     function test;
#  3. with --screenshot FILE, the operator window on COM5 under Xvfb, saved
#     as a picture.
#
#   scripts/windows/test.sh [--work DIR] [--qt DIR] [--linux DIR] [--screenshot FILE]
#
#   --work DIR   the folder build.sh worked in (default: build-windows)
#   --qt DIR     the Windows Qt (default: DIR/qt of --work)
#   --linux DIR  a Linux build of the project, for its virtual module
#                (default: build-test, else build)
set -euo pipefail

project=$(cd "$(dirname "$0")/../.." && pwd)
work=$project/build-windows
qt=
linux=
screenshot=
while [ $# -gt 0 ]; do
    case $1 in
    --work) work=$2; shift 2 ;;
    --qt) qt=$2; shift 2 ;;
    --linux) linux=$2; shift 2 ;;
    --screenshot) screenshot=$2; shift 2 ;;
    -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
work=$(cd "$work" && pwd)
qt=$(cd "${qt:-$work/qt}" && pwd)
if [ -z "$linux" ]; then
    for candidate in "$project/build-test" "$project/build"; do
        [ -x "$candidate/src/sim/kestro-virtual-module" ] && linux=$candidate && break
    done
fi
module_program=${linux:+$linux/src/sim/kestro-virtual-module}
if [ -z "$module_program" ] || [ ! -x "$module_program" ]; then
    echo "test.sh: no Linux kestro-virtual-module; build the Linux tool first (or give --linux)" >&2
    exit 1
fi
for tool in wine wineserver winepath socat unzip Xvfb; do
    if ! command -v $tool >/dev/null; then
        echo "test.sh: $tool is missing; run scripts/windows/install-deps.sh as root" >&2
        exit 3
    fi
done
zip=$(ls "$work"/kestro-modbus-m-*-win64.zip | tail -n 1)

started=$SECONDS
step() {
    local began=$SECONDS
    echo "+ $*"
    "$@"
    echo "(took $((SECONDS - began)) s; $((SECONDS - started)) s so far)"
}
failures=0
check() { # check DESCRIPTION COMMAND...: counts a failure instead of stopping
    if "${@:2}"; then
        echo "ok: $1"
    else
        echo "FAILED: $1"
        failures=$((failures + 1))
    fi
}

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=:${KESTRO_WINE_DISPLAY:-93}
pids=()
cleanup() {
    # Wine first: a Wine server that loses its X display dumps its objects.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM
Xvfb "$DISPLAY" -screen 0 1024x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)

step wineboot -i
# A COM port is any Unix device named in Wine's port map; Wine reads the map
# when its server starts.
map_port() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f >/dev/null
}
restart_wine() {
    wineserver -k || true
    wineserver -w || true
}

# A pair of connected ports for the line tests.
socat pty,raw,echo=0,link="$scratch/a" pty,raw,echo=0,link="$scratch/b" &
pids+=($!)
for _ in $(seq 50); do [ -e "$scratch/b" ] && break; sleep 0.1; done
map_port COM7 "$(readlink -f "$scratch/a")"
map_port COM8 "$(readlink -f "$scratch/b")"

# The Linux virtual module, on its own pseudo-terminal, for COM5.
"$module_program" --pace line >"$scratch/module.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$scratch/module.out" ] && break; sleep 0.1; done
module_port=$(head -n 1 "$scratch/module.out")
map_port COM5 "$module_port"
restart_wine

# 1. The test programs, when the build has them.
if [ -f "$work/tool/CTestTestfile.cmake" ] && grep -q add_test "$work/tool/tests/platform/win32/CTestTestfile.cmake" 2>/dev/null; then
    fonts=$scratch/fonts
    mkdir -p "$fonts"
    # The offscreen platform draws with FreeType from one folder of fonts.
    for font in /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf \
        /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc; do
        [ -e "$font" ] && ln -sf "$font" "$fonts/"
    done
    # Wine keeps the Unix environment's QT_ variables from Windows programs;
    # the user's environment in the registry reaches them.
    wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /t REG_SZ /d "$(winepath -w "$fonts")" \
        /f >/dev/null
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
    pthread=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")
    WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$runtime");$(winepath -w "$pthread")" \
        KESTRO_TEST_COM_PAIR=COM7:COM8 \
        step check "the test programs under Wine" \
        ctest --test-dir "$work/tool" --output-on-failure --timeout 900
else
    echo "(no test programs in $work/tool: build with build.sh --tests to run them)"
fi

# 2. The release, unpacked.
release=$scratch/release
mkdir -p "$release"
unzip -q "$zip" -d "$release"
cd "$release"/kestro-modbus-m-*-win64
tool() { wine ./kestro-modbus-m.exe "$@" 2>&1 | tr -d '\r'; }
version=$(sed -n 's/^project(kestro-modbus-m VERSION \([0-9.]*\).*/\1/p' "$project/CMakeLists.txt")
check "--version names the version" grep -q "kestro-modbus-m $version" <(tool --version)
check "--help tells the usage" grep -q "usage: kestro-modbus-m --headless" <(tool --help)
check "the virtual module answers --version" \
    grep -q "kestro-virtual-module $version" <(wine ./kestro-virtual-module.exe --version 2>&1)

poll_run() {
    tool --headless --port COM5 --cycles 12 --write 3=1234 \
        --record "$(winepath -w "$scratch/traffic.csv")" >"$scratch/poll.out"
}
step check "the runner polls COM5" poll_run
cat "$scratch/poll.out" | tail -n 4
check "requests went out and every reply came (Er=0)" \
    grep -Eq '^Tx=1[2-9] Er=0$' "$scratch/poll.out"
check "the registers served are shown, the written one among them" \
    grep -Eq '^registers=([0-9]+,){3}1234,([0-9]+,){15}[0-9]+$' "$scratch/poll.out"
check "traffic lines name requests and replies" \
    grep -q '^Tx-.*01 03 00 00 00 14' "$scratch/poll.out"
check "the recording holds the traffic" \
    test "$(grep -c ',Rx,' "$scratch/traffic.csv" 2>/dev/null)" -ge 12

# A missing port: the same words as the Linux runner's for a missing device,
# from Windows error code 2. (A port another program holds cannot be shown
# here: Wine lets a COM port open twice.)
missing_status=0
tool --headless --port COM9 --cycles 1 --lang en >"$scratch/missing.out" || missing_status=$?
"$linux/src/app/kestro-modbus-m" --headless --port /dev/kestro-no-such-port --cycles 1 \
    --lang en >"$scratch/missing-linux.out" 2>&1 || true
check "a missing port fails as on Linux, with the same words" \
    test $missing_status -eq 1 -a -s "$scratch/missing.out"
check "   (the words: $(tr '\n' ' ' <"$scratch/missing.out"))" \
    diff -q "$scratch/missing.out" "$scratch/missing-linux.out"

# Ctrl+C, which Wine turns SIGINT into, ends the runner as SIGINT does on
# Linux: the last request settles, the counts are printed, the status is 0.
wine ./kestro-modbus-m.exe --headless --port COM5 >"$scratch/long.out" 2>&1 &
long=$!
pids+=($long)
for _ in $(seq 100); do grep -q '^Rx-' "$scratch/long.out" 2>/dev/null && break; sleep 0.1; done
sleep 1
kill -INT $long
status=0
wait $long || status=$?
check "Ctrl+C ends the runner with its counts and status 0" \
    test $status -eq 0 -a -n "$(tr -d '\r' <"$scratch/long.out" | grep -E '^Tx=[0-9]+ Er=0$')"

# --simulate: Windows has no pseudo-terminals, so the in-process virtual
# module serves RTU over TCP on a loopback port and the runner polls it as a
# network line.
simulate_run() {
    tool --headless --simulate --cycles 12 --write 3=1234 >"$scratch/simulate.out"
}
step check "the runner polls the virtual module over TCP (--simulate)" simulate_run
tail -n 3 "$scratch/simulate.out"
check "   every reply came (Er=0)" grep -Eq '^Tx=1[2-9] Er=0$' "$scratch/simulate.out"
check "   the registers served are shown, the written one among them" \
    grep -Eq '^registers=([0-9]+,){3}1234,([0-9]+,){15}[0-9]+$' "$scratch/simulate.out"

# The function test on the virtual module, its report in a folder of its own.
reports=$scratch/reports
mkdir -p "$reports"
function_test() {
    tool --headless --simulate --test --serial WINE-1 \
        --report-dir "$(winepath -w "$reports")" >"$scratch/functest.out"
}
step check "the function test runs on the virtual module" function_test
cat "$scratch/functest.out"
check "   and ends test WINE-1: PASS" grep -qx 'test WINE-1: PASS' "$scratch/functest.out"
check "   with its report written" test -n "$(ls "$reports" 2>/dev/null)"

# 3. The window on COM5, with the port stored where the window looks for it.
if [ -n "$screenshot" ]; then
    settings='HKCU\Software\KESTRO-MODBUS-M\HKEY_LOCAL_MACHINE\Software\KESTRO_MODBUS_M\ComPort'
    wine reg add "$settings" /v Port /t REG_SZ /d COM5 /f >/dev/null
    wine reg add "$settings" /v BaudRate /t REG_SZ /d 9600 /f >/dev/null
    wine ./kestro-modbus-m.exe --start >"$scratch/window.out" 2>&1 &
    window=$!
    pids+=($window)
    sleep "${KESTRO_SCREENSHOT_SECONDS:-12}"
    # The screen without window manager is black around the window.
    import -window root png:- | convert - -trim +repage "$screenshot"
    kill $window 2>/dev/null || true
    echo "saved $screenshot"
fi

echo "Windows tests: $failures failed, $((SECONDS - started)) s"
[ $failures -eq 0 ]
