#!/bin/sh
# Starts the tool on the virtual module under a virtual X display, lets it
# poll for a few seconds and saves a picture of the screen as PNG, with the
# texts in the language given (zh, the default, en or auto; see --lang), on
# a desktop scaled by SCALE (1, the default, 1.5 for 150 %, 2 for 200 %) the
# way X desktops scale their programs: Xft.dpi set to 96 × SCALE with xrdb.
# The screen grows with it, so the whole window is in the picture.
#
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png] [LANGUAGE] [SCALE]
set -eu

build_dir=${1:-build}
output=${2:-screenshot.png}
language=${3:-zh}
scale=${4:-1}
program="$build_dir/src/app/kestro-modbus-m"
display_number=${SCREENSHOT_DISPLAY:-:97}
settle_seconds=${SCREENSHOT_SECONDS:-4}

if [ ! -x "$program" ]; then
    echo "screenshot.sh: $program not found; build the tool first" >&2
    exit 1
fi

if ! screen_size=$(awk -v scale="$scale" 'BEGIN {
        if (scale !~ /^[0-9]+(\.[0-9]+)?$/ || scale < 1 || scale > 4) exit 1
        printf "%dx%d", 1024 * scale + 0.5, 900 * scale + 0.5 }'); then
    echo "screenshot.sh: the scale must be a number from 1 to 4, not $scale" >&2
    exit 2
fi
dpi=$(awk -v scale="$scale" 'BEGIN { printf "%d", 96 * scale + 0.5 }')

config_dir=$(mktemp -d)
# Without -noreset the server would reset, and lose the resources xrdb loads
# below, as soon as xrdb, its first client, leaves.
Xvfb "$display_number" -noreset -screen 0 "${screen_size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
tool_pid=
cleanup() {
    [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$config_dir"
}
trap cleanup EXIT INT TERM
sleep 1
echo "Xft.dpi: $dpi" | DISPLAY="$display_number" xrdb -merge

# A configuration folder of its own, so the operator's settings stay as they are.
DISPLAY="$display_number" KESTRO_CONFIG_DIR="$config_dir" QT_QPA_PLATFORM=xcb \
    "$program" --simulate --start --lang "$language" &
tool_pid=$!
sleep "$settle_seconds"
DISPLAY="$display_number" import -window root "$output"
echo "saved $output"
