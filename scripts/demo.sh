#!/usr/bin/env bash
# Packs the example secondary setup (examples/) with sample setup information
# into build/demo/setup.exe, runs it under Wine (headless when there is no
# display), waits for the Wine session to end, prints the example's report and
# fails when the report does not match what was packed. `make demo` builds
# what this needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$root/build/demo
kivpack=$root/build/host/kivpack
example=$root/build/win32/examples/report_setup.exe
prefix=${KIV_WINEPREFIX:-$root/build/wineprefix}

rm -rf "$demo"
mkdir -p "$demo/info"
printf 'Example product 1.0\r\nLicensed to the demo.\r\n' > "$demo/info/info0"
printf 'language=en-US\r\ntarget=C:\\Program Files\\Example\r\n' > "$demo/info/info1"
head -c 20000 /dev/zero | tr '\0' 'K' > "$demo/info/info3"  # info2 stays empty

"$kivpack" build -o "$demo/setup.exe" --program "$example" \
  --info0 "$demo/info/info0" --info1 "$demo/info/info1" --info3 "$demo/info/info3"
echo "demo: packed $demo/setup.exe"
"$kivpack" list "$demo/setup.exe" || true

report_win="Z:${demo//\//\\}\\report.txt"
# setup.exe returns once the example has started; run-wait waits until the
# whole Wine session, the example included, has ended.
flock "$prefix.lock" "$root/scripts/wine/wine-run.sh" init "$prefix" >/dev/null
"$root/tests/wine/with_display.sh" env WINE_RUN_WAIT=1 \
  "$root/scripts/wine/wine-run.sh" run "$prefix" "$demo/setup.exe" /report "$report_win" /quiet

if [ ! -f "$demo/report.txt" ]; then
  echo "demo: the example wrote no report" >&2
  exit 1
fi
echo "---- report of the example secondary setup"
tr -d '\r' < "$demo/report.txt"
echo "----"

# What the report must say: each packed blob with its size and CRC-32, the
# empty one as none, and the tail exactly as given to setup.exe.
status=0
expect() {
  if ! tr -d '\r' < "$demo/report.txt" | grep -qxF -- "$1"; then
    echo "demo: report lacks: $1" >&2
    status=1
  fi
}
# In the temporary file the blobs follow the expanded program back to back.
offset=$(stat -c %s "$example")
for i in 0 1 2 3; do
  f=$demo/info/info$i
  if [ -s "$f" ]; then
    crc=$(python3 -c 'import sys,zlib; print("%08x" % zlib.crc32(open(sys.argv[1],"rb").read()))' "$f")
    size=$(stat -c %s "$f")
    expect "info$i: $size bytes at $offset, crc32 $crc"
    offset=$((offset + size))
  else
    expect "info$i: none"
  fi
done
expect "tail: [/report $report_win /quiet]"
[ $status = 0 ] && echo "demo: the report matches what was packed"
exit $status
