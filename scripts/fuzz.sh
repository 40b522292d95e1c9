#!/usr/bin/env bash
# Builds the libFuzzer targets of the file readers with clang (ASan + UBSan) in
# build-fuzz/ and runs each for a short time: FUZZ_SECONDS (default 30) apiece.
# A finding stops the script with a non-zero status and leaves the crashing input
# in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVESK_FUZZ=ON -DVESK_SANITIZE=ON >/dev/null
cmake --build build-fuzz -j2 --target fuzz_image fuzz_xfile fuzz_xfile_seeds

mkdir -p build-fuzz/findings build-fuzz/corpus-image build-fuzz/corpus-xfile
build-fuzz/bin/fuzz_xfile_seeds build-fuzz/corpus-xfile >/dev/null
for target in image xfile; do
  echo "== fuzz_${target}: ${seconds} s"
  log=build-fuzz/fuzz_${target}.log
  status=0
  build-fuzz/bin/fuzz_${target} -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/findings/ \
    build-fuzz/corpus-${target} >"$log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units|SUMMARY|ERROR' "$log" || true
  if [[ $status -ne 0 ]]; then
    tail -n 40 "$log"
    exit "$status"
  fi
done
