#!/usr/bin/env bash
# Usage: scripts/bench.sh [--smoke]
#
# Builds the benchmark program in a Release tree (build/bench) and measures export and import
# against their floors for 1,000 to 1,000,000 topics, each case in a process of its own so
# that its peak memory is its own. Prints a table: our time over the floor's, per-topic cost
# and peak memory. The maps (about 0.5 GB at the largest size) go to build/bench/maps.
# --smoke runs the smallest size once, briefly: it checks that everything runs, not the figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QX_BENCH_BUILD_DIR:-$root/build/bench}
smoke=false
[ "${1:-}" = "--smoke" ] && smoke=true

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQX_BUILD_BENCHMARKS=ON \
  -DQX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target qx_map_benchmark
program=$build/bench/qx_map_benchmark
export QX_BENCH_DIR=$build/maps
mkdir -p "$QX_BENCH_DIR"

if $smoke; then
  exec "$program" --benchmark_filter='/1000/' --benchmark_min_time=0.01
fi

results=$build/results
rm -rf "$results"
mkdir -p "$results"
# The export writes the map that both imports then read.
for size in 1000 10000 100000 1000000; do
  for case in Export ExportFloor Import ImportFloor; do
    printf '%s/%s\n' "$case" "$size" >&2
    "$program" --benchmark_filter="^BM_$case/$size/" --benchmark_format=json \
      --benchmark_out="$results/$case-$size.json" >/dev/null
  done
done

python3 - "$results" <<'PY'
import json, os, subprocess, sys, time
folder = sys.argv[1]
def case(name, size):
    with open(os.path.join(folder, f"{name}-{size}.json")) as f:
        b = json.load(f)["benchmarks"][0]
    scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
    return b["real_time"] * scale, b["cpu_time"] * scale, b.get("process_peak_MB", 0.0)
print(f"{os.cpu_count()} cores, {time.strftime('%Y-%m-%d')}; times are wall clock (CPU time in brackets)")
print()
print("| topics | export | floor | ratio | µs/topic | import | floor | ratio | µs/topic | peak export / floor | peak import / floor |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for size in (1000, 10000, 100000, 1000000):
    e, ef, i, i_f = (case(n, size) for n in ("Export", "ExportFloor", "Import", "ImportFloor"))
    def t(x): return f"{x[0]:.3f} s ({x[1]:.3f})"
    def r(a, b): return f"{a[0]/b[0]:.2f} ({a[1]/b[1]:.2f})"
    print(f"| {size:,} | {t(e)} | {t(ef)} | {r(e, ef)} | {e[0]/size*1e6:.2f} | {t(i)} | {t(i_f)} | {r(i, i_f)} "
          f"| {i[0]/size*1e6:.2f} | {e[2]:.0f} / {ef[2]:.0f} MB | {i[2]:.0f} / {i_f[2]:.0f} MB |")
PY
