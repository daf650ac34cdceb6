#!/usr/bin/env bash
# Usage: cmake/wine-prefix.sh PREFIX
#
# Creates a 64-bit wine prefix in PREFIX once (wineboot -i), waits for wineserver to write
# it out, and sets the X11 driver's "Managed" value to "N" (windows not managed by the
# window manager, for tests under Xvfb). Later calls return at once. Safe to call from
# several processes at a time (serialised by a lock file beside the prefix's contents).
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ]; then
  echo "$0: $wine not found (install wine64, see scripts/setup.sh)" >&2
  exit 1
fi

mkdir -p "$1"
prefix=$(cd "$1" && pwd)
ready="$prefix/.qx-prefix-ready"
[ -f "$ready" ] && exit 0

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono / Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

exec 9>"$prefix/.qx-prefix-lock"
flock 9
[ -f "$ready" ] && exit 0

start=$(date +%s.%N)
"$wine" wineboot -i </dev/null >/dev/null 2>&1
"$wineserver" -w
booted=$(date +%s.%N)
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
  </dev/null >/dev/null 2>&1
"$wineserver" -w
done_at=$(date +%s.%N)

if ! grep -q '^"Managed"="N"' "$prefix/user.reg"; then
  echo "$0: setting HKCU\\Software\\Wine\\X11 Driver\\Managed failed" >&2
  exit 1
fi
touch "$ready"
awk -v a="$start" -v b="$booted" -v c="$done_at" 'BEGIN {
  printf "wine prefix %s: wineboot -i %.1f s, registry %.1f s\n", ENVIRON["WINEPREFIX"], b - a, c - b }' >&2
