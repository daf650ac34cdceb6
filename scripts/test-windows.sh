#!/usr/bin/env bash
# Builds both Windows trees, runs the test suite against the Windows build under wine, and
# leaves the shipped 32-bit DLLs in dist/win32, checked.
#
# build/win64: x86_64 MinGW build of the plug-ins, the stand-in qx_plugins.dll and the tests,
#              run under wine64 (this kernel cannot run 32-bit programs).
# build/win32: i686 MinGW build: the shipped DLLs.
#
# Needs the packages of scripts/setup.sh (MinGW-w64, wine64, dpkg-dev and deb-src entries).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${QX_JOBS:-$(nproc)}
build_type=RelWithDebInfo

step() { printf '\n=== %s\n' "$*"; }
started=$(date +%s)

step "x86_64 Windows build"
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=$build_type \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake"
cmake --build build/win64 -j "$jobs"

step "tests of the Windows build under wine"
ctest --test-dir build/win64 --output-on-failure -j "$jobs"

step "i686 Windows build (shipped)"
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=$build_type \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/i686-w64-mingw32.cmake"
cmake --build build/win32 -j "$jobs"

step "dist/win32"
rm -rf dist/win32
mkdir -p dist/win32
cp build/win32/bin/qx_xmmap_exp.qxdll build/win32/bin/qx_xmmap_imp.qxdll dist/win32/
"$root/scripts/check-windows-dlls.sh" dist/win32/qx_xmmap_exp.qxdll dist/win32/qx_xmmap_imp.qxdll

printf '\nWindows builds, wine tests and dist/win32: %d s\n' $(($(date +%s) - started))
