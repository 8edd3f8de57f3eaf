#!/usr/bin/env bash
# Soak: builds vistrel-soak (no sanitizers, optimised) and sends REQUESTS mixed
# request lines (default 100,000) through one capture host loop on the demo
# desktop while its windows move and its focus changes. Prints requests per
# second and resident memory after warm-up; fails on any missing, extra,
# misordered or malformed answer, or on more than 5 MB of growth.
#   scripts/soak.sh [REQUESTS]
# Environment: BUILD_DIR (default build-soak), JOBS (default 2).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-soak}"
jobs="${JOBS:-2}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSABLEKIT_SANITIZE= >/dev/null
cmake --build "$build" -j "$jobs" --target vistrel-soak
"$build/bin/vistrel-soak" "${1:-100000}"
