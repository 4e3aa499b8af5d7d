#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each for a bounded time,
# one after the other, starting from the seeds in tests/fuzz/corpus/ and from
# what earlier runs found (build/fuzz/corpus/). Exits non-zero on the first
# crash, leak, timeout or memory blow-up; the input that caused it is left in
# build/fuzz/crashes/.
#
#   FUZZ_SECONDS   seconds per target (default 60; 3 targets)
#   JOBS           build parallelism (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

BUILD=build/fuzz
SECONDS_EACH=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKIV_FUZZ=ON -DKIV_TESTS=OFF >/dev/null
targets=(fuzz_expand fuzz_trailer fuzz_extract)
cmake --build "$BUILD" -j"${JOBS:-2}" --target "${targets[@]}" >/dev/null

# Largest input per target: streams stay small, setups hold a PE header.
declare -A max_len=([fuzz_expand]=4096 [fuzz_trailer]=8192 [fuzz_extract]=16384)

mkdir -p "$BUILD/crashes"
status=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  work="$BUILD/corpus/$name"
  mkdir -p "$work"
  log="$BUILD/$t.log"
  echo "== $t: ${SECONDS_EACH}s"
  if "$BUILD/tests/fuzz/$t" -max_total_time="$SECONDS_EACH" -max_len="${max_len[$t]}" \
      -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
      -artifact_prefix="$BUILD/crashes/$name-" "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|new_units_added)' "$log" | tr '\n' ' '
    echo
  else
    echo "$t FAILED; the end of its log ($log):"
    tail -40 "$log"
    status=1
    break
  fi
done
[ "$status" = 0 ] && echo "fuzz: all targets ran clean"
exit $status
