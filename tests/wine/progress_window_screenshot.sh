#!/usr/bin/env bash
# Photographs the progress window while its program is busy and takes no
# messages, keeps the picture, and checks that the icon and the sentence are
# on it. Needs an X display (run it through with_display.sh).
#
# Usage: progress_window_screenshot.sh WINE_RUNNER SHOT_PROGRAM OUTPUT_PNG
set -euo pipefail
absolute() { case $1 in /*) echo "$1" ;; */*) echo "$PWD/$1" ;; *) echo "$1" ;; esac; }
runner=$(absolute "$1")
program=$(absolute "$2")
output=$(absolute "$3")
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

# Long enough to be photographed in the middle of the busy spell even when
# Wine is slow to start.
"$runner" "$program" 10 >program.log 2>&1 &
pid=$!

for _ in $(seq 1 600); do
  [ -e ready ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "the program ended before opening its window:" >&2
    cat program.log >&2
    exit 1
  fi
  sleep 0.5
done
if [ ! -e ready ]; then
  echo "the window did not open in time" >&2
  exit 1
fi

# Well into the busy spell: whatever is not drawn by now stays undrawn.
sleep 3
xwd -root -silent -out shot.xwd
mkdir -p "$(dirname "$output")"
convert xwd:shot.xwd "png:$output"
convert xwd:shot.xwd ppm:shot.ppm

status=0
wait "$pid" || status=$?
pid=
if [ "$status" != 0 ]; then
  echo "the program failed ($status):" >&2
  cat program.log >&2
  exit 1
fi

echo "screenshot: $output"
/usr/bin/python3 "$here/check_screenshot.py" window.txt shot.ppm
