#!/usr/bin/env bash
# Installs what is missing, builds, and records the default globe movie (globe.avi in
# the current directory) with the program. Only what a recording needs is built; the
# test script builds the rest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" -j2 --target recording
"$root/build/bin/vesk" "$@"
