#!/usr/bin/env bash
# Whole headless recordings by `vesk` (render, front-buffer grab, BMP save, writer
# append, BMP delete): frames per second at 640x480 and 1920x1080. Each size is recorded
# twice in a scratch folder, with FIRST and with FIRST + FRAMES frames; the difference of
# the two wall times is the cost of FRAMES frames without start-up (media loading) and
# shutdown. Usage: bench/recording_bench.sh [FRAMES] (default 64); needs a built tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vesk="$root/build/bin/vesk"
frames=${1:-64}
first=8
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Wall seconds of one recording of $2 frames at size $1.
record() {
  local start end
  start=$(date +%s.%N)
  (cd "$scratch" && VESK_HEADLESS=1 "$vesk" -s "$1" -n "$2" -o movie.avi >/dev/null)
  end=$(date +%s.%N)
  rm -f "$scratch/movie.avi"
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

echo "recording_bench: vesk headless, default globe and media, $frames frames after $first;"
echo "machine load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for size in 640x480 1920x1080; do
  short=$(record "$size" "$first")
  long=$(record "$size" $((first + frames)))
  awk -v size="$size" -v n="$frames" -v first="$first" -v short="$short" -v long="$long" 'BEGIN {
    printf "%-9s  %d frames in %.2f s (start-up and shutdown excluded): %.1f frames/s;", size, n, long - short, n / (long - short)
    printf "  whole runs %.2f s (%d frames) and %.2f s (%d frames)\n", short, first, long, first + n
  }'
done
