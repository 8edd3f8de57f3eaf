#!/usr/bin/env bash
# The test command: installs the dependencies, then builds and runs the whole
# suite three times — plainly, under AddressSanitizer + UndefinedBehaviorSanitizer,
# and the threaded components under ThreadSanitizer — then runs every fuzz
# target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)

run_suite() {
  local dir=$1 sanitize=$2
  shift 2
  echo "== build $dir (sanitizers: ${sanitize:-none})"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSABLEKIT_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}

run_suite build ""
# x265 loses a little memory inside every encoder it opens; nothing of ours.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan "address,undefined"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_suite build-tsan "thread" -L threaded

# Fuzz smoke: every libFuzzer target for 60 s from its seeds (clang-14); a
# crash, leak or sanitizer report fails the run. Inputs that failed are kept
# in build-fuzz/artifacts/.
echo "== fuzz smoke"
scripts/run-fuzz.sh 60
