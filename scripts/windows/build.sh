#!/usr/bin/env bash
# Builds the Windows release of KESTRO Modbus M on Debian 12 and packs it as
# kestro-modbus-m-<version>-win64.zip: the tool and the virtual module built
# for x86_64-w64-mingw32, the Qt and MinGW runtime libraries they need, the
# Windows platform plugin, the English catalogue and a short README.
#
# Qt's base module comes from Debian's own source package (qt6-base, the same
# version as the host's Qt, whose moc, rcc and uic the cross build uses) and
# is built once with only what the tool needs; later runs reuse it.
#
#   scripts/windows/build.sh [--qt DIR] [--work DIR] [--tests | --build-tests] [--qt-only]
#                            [--jobs N]
#
#   --qt DIR    use the Windows Qt installed at DIR instead of building one
#               (also KESTRO_WINDOWS_QT=DIR); DIR holds lib/cmake/Qt6
#   --work DIR  where Qt's source, its build and the tool's build go
#               (default: build-windows in the project's folder); a Qt
#               built there before is reused
#   --tests     also build the tests and run them under Wine
#               (scripts/windows/test.sh)
#   --build-tests  build the tests, leave running them to test.sh
#   --qt-only   build (or find) the Windows Qt and stop there
#   --jobs N    parallel compile jobs (default: the number of processors)
#
# Run scripts/windows/install-deps.sh first (as root) for the cross compiler,
# Wine and the rest. Prints how long each step took. Exits with 3 when the
# machine lacks a tool or Qt's source cannot be fetched (nothing to do with
# the code), 1 when a build or a test fails.
set -euo pipefail

project=$(cd "$(dirname "$0")/../.." && pwd)
work=$project/build-windows
qt=${KESTRO_WINDOWS_QT:-}
tests=no
qt_only=no
jobs=$(nproc)

while [ $# -gt 0 ]; do
    case $1 in
    --qt) qt=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --tests) tests=yes; shift ;;
    --build-tests) tests=build; shift ;;
    --qt-only) qt_only=yes; shift ;;
    --jobs) jobs=$2; shift 2 ;;
    -h | --help) sed -n '2,28p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

started=$SECONDS
step() {
    local began=$SECONDS
    echo "+ $*"
    "$@"
    echo "(took $((SECONDS - began)) s; $((SECONDS - started)) s so far)"
}

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "build.sh: $tool is missing; run scripts/windows/install-deps.sh as root" >&2
            exit 3
        fi
    done
}
need x86_64-w64-mingw32-g++-posix cmake ninja zip
mkdir -p "$work"
work=$(cd "$work" && pwd)
toolchain=$work/mingw.cmake
cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Qt's base module from Debian's source package: the upstream tarball only,
# since Debian's patches serve its Linux packages.
fetch_qt_source() {
    local version
    version=$(dpkg-query -W -f='${source:Upstream-Version}' qt6-base-dev | sed 's/+dfsg.*//')
    if [ -d "$work/qtbase-everywhere-src-$version" ]; then
        qt_source=$work/qtbase-everywhere-src-$version
        return
    fi
    mkdir -p "$work/qt-download"
    if ! (cd "$work/qt-download" && apt-get source --download-only "qt6-base=$(
        dpkg-query -W -f='${source:Version}' qt6-base-dev)"); then
        echo "build.sh: Qt's source package could not be fetched (is there a deb-src entry?" \
            "scripts/windows/install-deps.sh adds one)" >&2
        exit 3
    fi
    tar -xf "$work"/qt-download/qt6-base_*.orig.tar.xz -C "$work"
    qt_source=$work/qtbase-everywhere-src-$version
}

# Only the modules the tool and its tests need: Core, Gui, Widgets, Test, with
# the Windows and offscreen platform plugins and the Windows styles; no
# network, SQL, XML, D-Bus or concurrency. Printing, Direct2D and the image
# format plugins stay as Qt has them: with Direct2D off, Qt 6.4.2's Windows
# plugin does not link (its DirectWrite font database goes with it), and the
# zip carries only the files the tool loads anyway. OpenGL stays too (loaded
# at run time, never needed): without it the Windows plugin does not compile.
# Tablet events are off because the tarball lacks wintab.h; the third-party
# libraries are Qt's bundled ones, as the Windows release carries no system
# ones.
build_qt() {
    local build=$work/qt-build
    cmake -S "$qt_source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
    nice cmake --build "$build" -j "$jobs"
    cmake --install "$build"
}

if [ -z "$qt" ]; then
    qt=$work/qt
    if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
        need apt-get dpkg-source
        fetch_qt_source
        step build_qt
    else
        echo "Reusing the Windows Qt in $qt"
    fi
fi
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "build.sh: $qt holds no Windows Qt (lib/cmake/Qt6/qt.toolchain.cmake)" >&2
    exit 1
fi
qt=$(cd "$qt" && pwd)
if [ "$qt_only" = yes ]; then
    echo "The Windows Qt is in $qt"
    exit 0
fi

tool=$work/tool
build_tests=OFF
[ "$tests" != no ] && build_tests=ON
# Optimised as the Linux builds are (-O2): GCC 12 at -O3 warns of array
# bounds where there is no fault, and warnings are errors here.
step cmake -S "$project" -B "$tool" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DKESTRO_WERROR=ON -DKESTRO_BUILD_BENCH=OFF -DKESTRO_BUILD_TESTS=$build_tests \
    -DCMAKE_CROSSCOMPILING_EMULATOR=wine
step nice cmake --build "$tool" -j "$jobs"

# The release: the programs, the libraries they load, and what goes with them.
version=$(sed -n 's/^project(kestro-modbus-m VERSION \([0-9.]*\).*/\1/p' "$project/CMakeLists.txt")
name=kestro-modbus-m-$version-win64
pack() {
    local folder=$work/$name
    rm -rf "$folder" "$work/$name.zip"
    mkdir -p "$folder/platforms" "$folder/styles" "$folder/translations"
    cp "$tool/src/app/kestro-modbus-m.exe" "$tool/src/sim/kestro-virtual-module.exe" "$folder/"
    cp "$qt"/bin/Qt6Core.dll "$qt"/bin/Qt6Gui.dll "$qt"/bin/Qt6Widgets.dll "$folder/"
    # The offscreen platform: the function test lays out its PDF report with
    # Qt's fonts and shows no window.
    cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" \
        "$folder/platforms/"
    [ -f "$qt/plugins/styles/qwindowsvistastyle.dll" ] &&
        cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
    local runtime
    for runtime in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        cp "$(x86_64-w64-mingw32-g++-posix -print-file-name=$runtime)" "$folder/"
    done
    cp "$tool/src/app/kestro-modbus-m_en.qm" "$folder/translations/"
    x86_64-w64-mingw32-strip "$folder"/*.exe "$folder"/*.dll "$folder"/platforms/*.dll \
        "$folder"/styles/*.dll 2>/dev/null || true
    sed "s/@VERSION@/$version/" "$project/scripts/windows/README.txt" |
        sed 's/$/\r/' >"$folder/README.txt"
    (cd "$work" && zip -q -r -9 "$name.zip" "$name")
    echo "packed $work/$name.zip ($(du -k "$work/$name.zip" | cut -f1) kB)"
}
step pack

if [ "$tests" = yes ]; then
    need wine
    step "$project/scripts/windows/test.sh" --work "$work" --qt "$qt" \
        ${KESTRO_WINDOWS_SCREENSHOT:+--screenshot "$KESTRO_WINDOWS_SCREENSHOT"}
fi
echo "done in $((SECONDS - started)) s"
