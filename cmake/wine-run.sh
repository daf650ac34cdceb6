#!/usr/bin/env bash
# Usage: cmake/wine-run.sh PROGRAM.exe [ARGS...]
#
# Runs a 64-bit Windows program under wine and exits with its exit code; used as
# CMAKE_CROSSCOMPILING_EMULATOR by the x86_64 toolchain file, so ctest runs Windows tests.
# The prefix is $WINEPREFIX, else $QX_WINEPREFIX, else a per-user folder under $TMPDIR;
# it is created on first use (cmake/wine-prefix.sh).
#
# The program's output goes to temporary files first and is printed when it ends: the
# wineserver that wine starts inherits the output descriptors and outlives the program, and
# a caller reading a pipe (ctest) would otherwise wait for it.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine=/usr/lib/wine/wine64

export WINEPREFIX="${WINEPREFIX:-${QX_WINEPREFIX:-${TMPDIR:-/tmp}/qx-wineprefix-$(id -u)}}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.qx-prefix-ready" ]; then
  bash "$here/wine-prefix.sh" "$WINEPREFIX" || exit 1
fi

out=$(mktemp "${TMPDIR:-/tmp}/qx-wine-out.XXXXXX") || exit 1
err=$(mktemp "${TMPDIR:-/tmp}/qx-wine-err.XXXXXX") || { rm -f "$out"; exit 1; }
trap 'rm -f "$out" "$err"' EXIT

"$wine" "$@" </dev/null >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
exit "$rc"
