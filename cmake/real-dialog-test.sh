#!/usr/bin/env bash
# Usage: cmake/real-dialog-test.sh QX_TESTS.exe PREFIX
#
# Runs RealDialogTest under wine on a private Xvfb display: waits for the real save dialog,
# types a file name without extension into it and presses Enter. Gives up after a time
# limit; Xvfb and wine are stopped by their own ids.
#
# PREFIX is a wine prefix of its own, made here when missing (cmake/wine-prefix.sh, which
# also sets the X11 driver's Managed=N, so the dialog needs no window manager): wine picks
# the display driver once per wineserver, and the other tests run theirs without a display.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 QX_TESTS.exe PREFIX" >&2
  exit 2
fi
wine=/usr/lib/wine/wine64
for tool in Xvfb xdotool "$wine"; do
  command -v "$tool" >/dev/null || { echo "$0: $tool not found (scripts/setup.sh installs it)" >&2; exit 1; }
done

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bash "$here/wine-prefix.sh" "$2" || exit 1
export WINEPREFIX=$(cd "$2" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
limit=${QX_REAL_DIALOG_TIMEOUT:-90}

work=$(mktemp -d "${TMPDIR:-/tmp}/qx-real-dialog.XXXXXX") || exit 1
xvfb_pid=
wine_pid=
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null
  /usr/lib/wine/wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "real-dialog-test: $*" >&2
  [ -f "$work/out" ] && cat "$work/out" >&2
  exit 1
}

# A free display of our own: Xvfb writes its number to descriptor 5 once it is ready.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb gave no display number"
export DISPLAY=":$(head -n1 "$work/display")"

mkdir "$work/out-folder"
# The folder as Windows names it (Z: is the root in a wine prefix).
export QX_REAL_DIALOG_FOLDER="Z:$(echo "$work/out-folder" | tr / '\\')"
export QX_REAL_DIALOG_NAME="typed map"

"$wine" "$1" --gtest_filter='RealDialogTest.*' </dev/null >"$work/out" 2>&1 &
wine_pid=$!

start=$SECONDS
window=
while [ -z "$window" ]; do
  [ $((SECONDS - start)) -lt "$limit" ] || fail "no save dialog within $limit s"
  kill -0 "$wine_pid" 2>/dev/null || fail "the test ended before a save dialog showed"
  window=$(timeout 10 xdotool search --onlyvisible --name '^Save As$' 2>/dev/null | head -n1)
  [ -n "$window" ] || sleep 0.3
done

# The file name box has the focus when the dialog opens.
timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || true
sleep 0.5
timeout 30 xdotool type --delay 30 "$QX_REAL_DIALOG_FOLDER\\$QX_REAL_DIALOG_NAME"
timeout 10 xdotool key Return

while kill -0 "$wine_pid" 2>/dev/null; do
  [ $((SECONDS - start)) -lt "$limit" ] || fail "the test did not end within $limit s"
  sleep 0.2
done
wait "$wine_pid"
rc=$?
wine_pid=
cat "$work/out"
grep -q '^\[  PASSED  \] 1 test' "$work/out" || fail "RealDialogTest did not pass (exit code $rc)"
ls "$work/out-folder"
exit "$rc"
