#!/usr/bin/env bash
# Photographs a branded setup.exe's own progress window while it extracts,
# checks that the window shows the product's icon (not the packer's) beside
# the sentence, and that the setup then hands over to its program as an
# unbranded one does. Needs an X display (run it through with_display.sh).
#
# Usage: branded_setup_screenshot.sh WINE_RUNNER KIVPACK STUB PROGRAM OUTPUT_PNG
#
# The window stands only while the extraction runs, so the program image is
# padded with zeros to a size that takes the bootstrapper some seconds to
# expand (the padding compresses 8:1 and a program ignores it).
set -euo pipefail
absolute() { case $1 in /*) echo "$1" ;; */*) echo "$PWD/$1" ;; *) echo "$1" ;; esac; }
runner=$(absolute "$1")
kivpack=$(absolute "$2")
stub=$(absolute "$3")
program=$(absolute "$4")
output=$(absolute "$5")
here=$(cd "$(dirname "$0")" && pwd)
padding_mb=${KIV_BRANDED_PADDING_MB:-250}
export WINEDEBUG=${WINEDEBUG:--all}

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

/usr/bin/python3 "$here/../kivpack/icons.py" product.ico
{ cat "$program"; head -c $((padding_mb << 20)) /dev/zero; } > padded.exe
"$kivpack" build -o branded-setup.exe --stub "$stub" --program padded.exe --icon product.ico \
  --file-version 4.3.2.1 --version-string "ProductName=Branded Product"
rm padded.exe
mkdir report
KIV_E2E_REPORT="Z:${work//\//\\}\\report\\secondary" "$runner" "$work/branded-setup.exe" \
  >setup.log 2>&1 &
pid=$!

# The window is mapped as the extraction starts; its X window carries the
# program's file name as its class.
geometry=
for _ in $(seq 1 600); do
  geometry=$(xwininfo -root -tree 2>/dev/null | grep '"branded-setup.exe"' | grep -v 'IME' |
    grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*' | head -1 || true)
  [ -n "$geometry" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "the setup ended before its window showed:" >&2
    cat setup.log >&2
    exit 1
  fi
  sleep 0.2
done
if [ -z "$geometry" ]; then
  echo "the setup's window did not show in time" >&2
  exit 1
fi
sleep 1
xwd -root -silent -out shot.xwd
mkdir -p "$(dirname "$output")"
convert xwd:shot.xwd "png:$output"
convert xwd:shot.xwd ppm:shot.ppm
echo "screenshot: $output (window $geometry)"

status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || { echo "the setup exited with $status" >&2; cat setup.log >&2; exit 1; }
# Program mode returns once the program has started; give it time to report.
for _ in $(seq 1 600); do
  [ -s report/secondary.txt ] && break
  sleep 0.2
done
[ -s report/secondary.txt ] || { echo "the setup did not hand over to its program" >&2; exit 1; }
long=$(grep -a -m1 '^part1long=' report/secondary.txt | cut -d= -f2-)
echo "handed over to $long"
# Program mode leaves the expanded program in the prefix's temporary folder
# by design; this one is large, so it goes (the prefix as the runner picks it).
prefix=${KIV_WINEPREFIX:-$(cd "$(dirname "$runner")/.." && pwd)/build/wineprefix}
case $long in
  [Cc]:\\*) unix=${long:3}; rm -f "$prefix/drive_c/${unix//\\//}" ;;
esac
/usr/bin/python3 "$here/check_branded_screenshot.py" "$geometry" shot.ppm
