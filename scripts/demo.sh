#!/usr/bin/env bash
# The main job: installs the dependencies, builds, and runs the capture host
# on the built-in simulated demo desktop (vistrel-sim; build/bin/Vistrel
# itself runs on the X11 session of $DISPLAY), feeding it a short
# conversation and printing the answers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target Vistrel vistrel-sim

conversation=(
  '{"id":1,"method":"health"}'
  '{"id":2,"method":"Health"}'
  'this line is not JSON'
  '{"id":4,"method":"capture.probe","params":{"maximumDimension":800}}'
  '{"id":5,"method":"capture.frame"}'
  '{"id":6,"method":"automation.probe","params":{"automationTarget":"Finder"}}'
  '{"id":7,"method":"automation.reset"}'
)
# One host serves the whole conversation, one answer per request, in order.
requests=$(mktemp)
trap 'rm -f "$requests"' EXIT
printf '%s\n' "${conversation[@]}" > "$requests"
paste -d '\n' <(sed 's/^/>> /' "$requests") <(build/bin/vistrel-sim < "$requests" | sed 's/^/<< /')
