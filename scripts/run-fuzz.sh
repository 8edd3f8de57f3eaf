#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (ASan + UBSan) and runs each for
# SECONDS seconds (default 60) from its committed seed corpus.
#   scripts/run-fuzz.sh [SECONDS] [TARGET...]
# Environment: BUILD_DIR (default build-fuzz), JOBS (default 2), TIMEOUT (seconds
# one input may take before it counts as a hang, default 120).
# New inputs go to a scratch copy of the corpus, so the committed seeds stay
# as they are; a crash leaves its input as BUILD_DIR/artifacts/<target>/crash-*
# and makes the script exit non-zero.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="${BUILD_DIR:-$root/build-fuzz}"
jobs="${JOBS:-2}"
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(vistrel_request capture_parameters web_url accessibility_values shortcut)
fi

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
# x265 loses a little memory inside every encoder it opens; nothing of ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  cp -n "$root/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" -max_len=65536 -timeout="${TIMEOUT:-120}" -rss_limit_mb=4096 "$corpus" 2>"$build/fuzz_$target.log"; then
    echo "fuzz_$target FAILED; see $build/fuzz_$target.log and $artifacts" >&2
    tail -40 "$build/fuzz_$target.log" >&2
    status=1
  fi
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)|cov:" "$build/fuzz_$target.log" | tail -4 || true
done
exit "$status"
