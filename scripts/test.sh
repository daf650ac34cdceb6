#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test suite. Fails on any
# failure or sanitizer report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

"$root/scripts/setup.sh"

step() { printf '\n=== %s\n' "$*"; }

step "native build and tests"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs"

step "native tests under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQX_SANITIZE=address,undefined
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

step "Windows builds: tests under wine, shipped DLLs in dist/win32"
"$root/scripts/test-windows.sh"

step "fuzzing, about a minute per target"
"$root/scripts/fuzz.sh" 60

step "benchmark smoke run"
"$root/scripts/bench.sh" --smoke

step "all suites passed"
