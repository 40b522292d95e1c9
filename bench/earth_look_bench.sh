#!/usr/bin/env bash
# The Earth's look against the plain globe: frames per second of whole headless
# recordings at 640x480 with no layer (-t earth.jpg) and with every layer (-t earth.jpg
# --sun 60 --clouds clouds.png --atmosphere). As in recording_bench.sh, each setting is
# recorded with FIRST and with FIRST + FRAMES frames and the difference timed, so media
# loading and shutdown are left out; the two settings alternate ROUNDS times, so both
# see the same load on a shared machine. Usage: bench/earth_look_bench.sh [FRAMES]
# [ROUNDS] (defaults 64 and 3); needs a built tree and xplanet-images.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vesk="$root/build/bin/vesk"
frames=${1:-64}
rounds=${2:-3}
first=8
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Wall seconds of one recording of $1 frames with the options after it.
record() {
  local count=$1 start end
  shift
  start=$(date +%s.%N)
  (cd "$scratch" && VESK_HEADLESS=1 XDG_CONFIG_HOME="$scratch/config" "$vesk" --no-dialog -s 640x480 -n "$count" \
    -o movie.avi "$@" >/dev/null)
  end=$(date +%s.%N)
  rm -f "$scratch/movie.avi"
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# Frames per second of FRAMES frames with the options given.
rate() {
  local short long
  short=$(record "$first" "$@")
  long=$(record $((first + frames)) "$@")
  awk -v n="$frames" -v s="$short" -v l="$long" 'BEGIN { printf "%.1f", n / (l - s) }'
}

echo "earth_look_bench: vesk headless at 640x480, $frames frames after $first, $rounds rounds;"
echo "machine load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$rounds"); do
  plain=$(rate -t earth.jpg)
  layered=$(rate -t earth.jpg --sun 60 --clouds clouds.png --atmosphere)
  awk -v r="$round" -v p="$plain" -v l="$layered" 'BEGIN {
    printf "round %d: no layer %.1f frames/s, every layer %.1f frames/s (%.0f%% of the plain rate)\n", r, p, l, 100 * l / p
  }'
done
