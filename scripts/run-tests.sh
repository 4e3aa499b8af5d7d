#!/usr/bin/env bash
# Runs CTest in every build folder given, prints each summary, and fails when
# any of them failed. The Windows build's tests run under Wine.
set -u
here=$(cd "$(dirname "$0")" && pwd)

# One virtual screen for the whole run, for the Windows programs that open
# windows; tests that need it serialise on it themselves.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null; "$here/wine/wine-run.sh" kill "${KIV_WINEPREFIX:-$here/../build/wineprefix}" >/dev/null 2>&1' EXIT
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
fi

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
