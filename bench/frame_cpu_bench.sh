#!/usr/bin/env bash
# CPU time per recorded frame of `vesk` headless, less sensitive to a busy machine than
# wall time: the task-clock of a recording of FIRST + 64 frames minus that of FIRST
# frames, divided by 64 (start-up and shutdown cancel out), the smallest over RUNS runs.
# Usage: bench/frame_cpu_bench.sh [RUNS] [VESK OPTIONS...] (default 3 runs, 640x480);
# needs a built tree and perf. VESK=path picks another build's vesk.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vesk=${VESK:-"$root/build/bin/vesk"}
runs=${1:-3}
shift || true
first=8
frames=64
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# Milliseconds of CPU time (all threads) of one recording of $1 frames; nothing when
# vesk fails (an option this build lacks, a missing picture).
cpu_ms() {
  local count=$1
  shift
  VESK_HEADLESS=1 perf stat -x, -o stat.csv -e task-clock "$vesk" --no-dialog -s 640x480 -n "$count" \
    -o movie.avi "$@" >/dev/null 2>&1 || return 0
  awk -F, '/task-clock/ { print $1 }' stat.csv
}

best=""
for ((i = 0; i < runs; ++i)); do
  short=$(cpu_ms "$first" "$@")
  long=$(cpu_ms $((first + frames)) "$@")
  if [[ -z $short || -z $long ]]; then
    echo "frame_cpu_bench: $vesk did not record with options: ${*:-none}" >&2
    exit 1
  fi
  best=$(awk -v s="$short" -v l="$long" -v b="$best" -v n="$frames" \
    'BEGIN { v = (l - s) / n; if (b == "" || v < b) b = v; print b }')
done
echo "frame_cpu_bench: $vesk, 640x480 headless, options: ${*:-none};"
echo "machine load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "CPU time per recorded frame: %.2f ms (smallest of %d runs of %d frames after %d)\n" "$best" "$runs" "$frames" "$first"
