#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a plain build in
# build/, and one with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

run_suite() {
  local dir=$1
  shift
  echo "== ${dir}: configure and build"
  cmake -S . -B "$dir" -G Ninja -DVESK_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  echo "== ${dir}: tests"
  (cd "$dir" && ctest --output-on-failure -j2)
}

run_suite build
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
run_suite build-asan -DVESK_SANITIZE=ON

echo "== fuzzing the file readers"
scripts/fuzz.sh
