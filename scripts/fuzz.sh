#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [SECONDS]
#
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build/fuzz and runs each for SECONDS (default 60). Fails on any finding; the input that
# failed is left in build/fuzz/fuzz/findings/. Corpora stay in build/fuzz/fuzz/corpus-*, so
# later runs go on from where earlier ones stopped. A longer run: scripts/fuzz.sh 3600.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${QX_FUZZ_BUILD_DIR:-$root/build/fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQX_BUILD_FUZZERS=ON -DQX_BUILD_TESTS=OFF -DQX_SANITIZE=address,undefined \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$build" --target qx_fuzzers

out=$build/fuzz
mkdir -p "$out/corpus-import" "$out/corpus-roundtrip" "$out/findings"
# Seeds: the suite's fixture maps as they are now, and our own.
shopt -s nullglob
seeds=("$root"/tests/data/*.xmmap "$root"/fuzz/seeds/*)
for seed in "${seeds[@]}"; do
  cp -f "$seed" "$out/corpus-import/seed-$(basename "$seed")"
done

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
run() {
  local target=$1 corpus=$2
  shift 2
  printf '\n=== %s for %ss\n' "$target" "$seconds"
  # -timeout: one input running this long is a hang; -rss_limit_mb: runaway memory.
  "$out/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$out/findings/$target-" "$@" "$out/$corpus"
}
run qx_import_fuzzer corpus-import -dict="$root/fuzz/map.dict"
run qx_roundtrip_fuzzer corpus-roundtrip
