#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the tool.
# Run as root. Safe to run again.
set -euo pipefail
packages=(
    build-essential cmake pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-tools-dev qt6-l10n-tools
    libgtest-dev libgmock-dev libbenchmark-dev
    libmodbus-dev
    poppler-utils python3-jsonschema
    mbpoll socat python3 python3-pymodbus python3-serial python3-serial-asyncio
    fonts-dejavu-core fonts-wqy-zenhei
    xvfb xauth xdotool imagemagick x11-xserver-utils
    man-db
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
