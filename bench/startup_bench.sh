#!/usr/bin/env bash
# Start-up and memory of `vesk` headless with the default media: the mean wall time of
# RUNS whole one-frame recordings (start, media loading, the first frame with its grab,
# BMP and movie, and shutdown: an upper bound of start to first frame), and the peak
# resident memory of the default 64-frame 640x480 recording. Usage:
# bench/startup_bench.sh [RUNS] (default 20); needs a built tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vesk="$root/build/bin/vesk"
runs=${1:-20}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

echo "startup_bench: vesk headless, default globe and media, $runs runs of one frame;"
echo "machine load average: $(cut -d' ' -f1-3 /proc/loadavg)"
VESK_HEADLESS=1 "$vesk" -n 1 -o warm.avi >/dev/null  # files in the page cache, as after any first run
start=$(date +%s.%N)
for ((i = 0; i < runs; ++i)); do VESK_HEADLESS=1 "$vesk" -n 1 -o movie.avi >/dev/null; done
end=$(date +%s.%N)
awk -v a="$start" -v b="$end" -v n="$runs" \
  'BEGIN { printf "one-frame recording, start to exit: %.1f ms (mean of %d)\n", (b - a) * 1000 / n, n }'
peak=$( { /usr/bin/time -f "%M" env VESK_HEADLESS=1 "$vesk" -o movie.avi >/dev/null; } 2>&1 | tail -1)
awk -v kb="$peak" 'BEGIN { printf "default recording (64 frames, 640x480): peak resident memory %.1f MB\n", kb / 1024 }'
