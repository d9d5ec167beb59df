#!/usr/bin/env bash
# Installs what the Windows release needs on Debian 12, beside what
# scripts/install-deps.sh installs for the Linux build: the mingw-w64 cross
# compiler (the posix thread model, which Qt needs), Wine to run the result,
# Ninja, zip, socat for the tests' serial lines, GoogleTest's sources, and a
# deb-src entry so that Qt's source package can be fetched. Run as root.
# Safe to run again.
set -euo pipefail
packages=(
    g++-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64
    ninja-build zip unzip socat dpkg-dev
    googletest
    xvfb imagemagick
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

# Qt's source comes from the same archive as the binary packages: a deb-src
# entry beside the existing deb entry, same address, suite and key.
sources=/etc/apt/sources.list.d/debian-src.sources
need_update=no
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
    ! grep -qs '^deb-src ' /etc/apt/sources.list; then
    cat >"$sources" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    need_update=yes
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_update = yes ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
fi
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
