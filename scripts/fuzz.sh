#!/bin/sh
# Builds the fuzz targets with clang, libFuzzer and the sanitizers (the fuzz
# preset, in build/fuzz) and runs each for a bounded time, starting from its
# committed seed corpus and regression inputs, with its dictionary
# (fuzz/<target>.dict) and options (fuzz/<target>.options, e.g. -max_len).
# An input that crashes a target, trips a sanitizer, runs out of time or
# memory is copied to fuzz/regressions/<target>/, where the ordinary tests
# replay it, and the script fails once every target has run.
#
#   FUZZ_SECONDS  time per target (default 30)
#   FUZZ_TARGETS  targets to run (default: every *_fuzz program built)
# Further arguments go to every target as libFuzzer options.
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

bin=build/fuzz/bin
targets=${FUZZ_TARGETS:-$(cd "$bin" && ls -- *_fuzz)}
failed=""
for t in $targets; do
  work=build/fuzz/corpus/$t
  found=build/fuzz/found/$t
  rm -rf "$found"
  mkdir -p "$work" "$found"
  options=""
  [ -f "fuzz/$t.options" ] && options=$(grep -v '^#' "fuzz/$t.options" | tr '\n' ' ')
  [ -f "fuzz/$t.dict" ] && options="$options -dict=fuzz/$t.dict"
  seeds="fuzz/corpus/$t"
  [ -d "fuzz/regressions/$t" ] && seeds="$seeds fuzz/regressions/$t"
  echo "== $t: $seconds s"
  # shellcheck disable=SC2086  # options and seeds are lists
  if "$bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$found/" $options "$@" "$work" $seeds >"build/fuzz/$t.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "build/fuzz/$t.log" || true
  else
    tail -n 40 "build/fuzz/$t.log"
    mkdir -p "fuzz/regressions/$t"
    for input in "$found"/*; do
      [ -f "$input" ] || continue
      cp "$input" "fuzz/regressions/$t/"
      echo "kept $input as fuzz/regressions/$t/$(basename "$input")"
    done
    failed="$failed $t"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzzing found faults in:$failed (logs in build/fuzz/, inputs in fuzz/regressions/)" >&2
  exit 1
fi
echo "fuzzing found nothing"
