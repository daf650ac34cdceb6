#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the Windows cross-builds and the
# tools need. Safe to run again: apt-get skips what is already there.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  exec sudo -E "$0" "$@"
fi

# The Windows build compiles TinyXML from Debian's source package, so apt needs deb-src
# entries for the same suites as the binary ones.
src_list=/etc/apt/sources.list.d/qx-deb-src.sources
if [ ! -f "$src_list" ]; then
  for f in /etc/apt/sources.list.d/debian.sources; do
    [ -f "$f" ] && sed -n '/^Types: deb$/,/^$/p' "$f" | sed 's/^Types: deb$/Types: deb-src/'
  done > "$src_list.tmp"
  if [ ! -s "$src_list.tmp" ] && [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/qx-deb-src.list
    rm -f "$src_list.tmp"
  else
    mv "$src_list.tmp" "$src_list"
  fi
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  libtinyxml-dev libutfcpp-dev libgtest-dev libgmock-dev nlohmann-json3-dev libbenchmark-dev \
  clang libclang-rt-14-dev \
  libxml2-utils python3 \
  dpkg-dev \
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 \
  wine64 xvfb xdotool
