#!/usr/bin/env bash
# Runs CTest in every build folder given, prints each summary, and fails when
# any of them failed. The Windows build's tests run under Wine.
set -u
status=0
total_pass=0
total_fail=0
for dir in "$@"; do
  echo "== tests in $dir"
  out=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j"${JOBS:-2}") 2>&1 | tee "$out"
  rc=${PIPESTATUS[0]}
  [ "$rc" = 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$out" | tail -1)
  if [ -n "$line" ]; then
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    all=$(echo "$line" | sed -E 's/.* tests failed out of ([0-9]+).*/\1/')
    total_fail=$((total_fail + failed))
    total_pass=$((total_pass + all - failed))
  else
    status=1
  fi
  rm -f "$out"
done
echo "ctest: $total_pass passed, $total_fail failed"
exit $status
