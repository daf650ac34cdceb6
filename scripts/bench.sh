#!/usr/bin/env bash
# Usage: scripts/bench.sh [--smoke]
#
# Builds the benchmark program in a Release tree (build/bench) and measures export and import
# against their floors for 1,000 to 1,000,000 topics, each case in a process of its own so
# that its peak memory is its own. Prints a table: our time over the floor's, per-topic cost
# and peak memory. QX_BENCH_RUNS (default 5) sets how many times each case runs. The maps
# (about 0.5 GB at the largest size) go to build/bench/maps.
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

runs=${QX_BENCH_RUNS:-5}
results=$build/results
rm -rf "$results"
mkdir -p "$results"
# Each case runs $runs times, each time in a process of its own, ours and the floor's taking
# turns, so that a slow spell of the machine falls on both; the table gives the medians.
# The export writes the map that both imports then read.
for size in 1000 10000 100000 1000000; do
  for run in $(seq "$runs"); do
    for case in Export ExportFloor Import ImportFloor; do
      printf '%s/%s run %s\n' "$case" "$size" "$run" >&2
      # At least 2 s of iterations: a single short one mostly measures first-touch page faults.
      "$program" --benchmark_filter="^BM_$case/$size/" --benchmark_min_time=2 \
        --benchmark_format=json --benchmark_out="$results/$case-$size-$run.json" >/dev/null
    done
  done
done

python3 - "$results" "$runs" <<'PY'
import json, os, statistics, sys, time
folder, runs = sys.argv[1], int(sys.argv[2])
def case(name, size):
    real, cpu, peak = [], [], []
    global lowest
    for run in range(1, runs + 1):
        with open(os.path.join(folder, f"{name}-{size}-{run}.json")) as f:
            b = json.load(f)["benchmarks"][0]
        scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        real.append(b["real_time"] * scale)
        cpu.append(b["cpu_time"] * scale)
        peak.append(b.get("peak_MB", 0.0))
    lowest[name, size] = min(real)
    return statistics.median(real), statistics.median(cpu), statistics.median(peak)
lowest = {}
print(f"{os.cpu_count()} cores, {time.strftime('%Y-%m-%d')}; median of {runs} runs; times are wall "
      "clock (CPU time in brackets); peak is the memory that the run added to its input")
print()
print("| topics | export | floor | ratio | µs/topic | import | floor | ratio | µs/topic | peak export / floor | peak import / floor |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for size in (1000, 10000, 100000, 1000000):
    e, ef, i, i_f = (case(n, size) for n in ("Export", "ExportFloor", "Import", "ImportFloor"))
    def t(x): return f"{x[0]:.3f} s ({x[1]:.3f})"
    def r(a, b): return f"{a[0]/b[0]:.2f} ({a[1]/b[1]:.2f})"
    print(f"| {size:,} | {t(e)} | {t(ef)} | {r(e, ef)} | {e[0]/size*1e6:.2f} | {t(i)} | {t(i_f)} | {r(i, i_f)} "
          f"| {i[0]/size*1e6:.2f} | {e[2]:.0f} / {ef[2]:.0f} MB | {i[2]:.0f} / {i_f[2]:.0f} MB |")
print()
def best(name): return lowest[name, 1000000] / lowest[name + "Floor", 1000000]
print(f"Fastest of {runs} runs against the floor's fastest, 1,000,000 topics: "
      f"export {best('Export'):.2f}, import {best('Import'):.2f}")
PY
