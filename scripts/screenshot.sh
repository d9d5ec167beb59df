#!/bin/sh
# Starts the tool on the virtual module under a virtual X display, lets it
# poll for a few seconds and saves a picture of the screen as PNG, with the
# texts in the language given (zh, the default, en or auto; see --lang).
#
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png] [LANGUAGE]
set -eu

build_dir=${1:-build}
output=${2:-screenshot.png}
language=${3:-zh}
program="$build_dir/src/app/kestro-modbus-m"
display_number=${SCREENSHOT_DISPLAY:-:97}
settle_seconds=${SCREENSHOT_SECONDS:-4}

if [ ! -x "$program" ]; then
    echo "screenshot.sh: $program not found; build the tool first" >&2
    exit 1
fi

config_dir=$(mktemp -d)
Xvfb "$display_number" -screen 0 1024x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
tool_pid=
cleanup() {
    [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$config_dir"
}
trap cleanup EXIT INT TERM
sleep 1

# A configuration folder of its own, so the operator's settings stay as they are.
DISPLAY="$display_number" KESTRO_CONFIG_DIR="$config_dir" QT_QPA_PLATFORM=xcb \
    "$program" --simulate --start --lang "$language" &
tool_pid=$!
sleep "$settle_seconds"
DISPLAY="$display_number" import -window root "$output"
echo "saved $output"
