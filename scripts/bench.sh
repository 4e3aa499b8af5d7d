#!/usr/bin/env bash
# make bench: the compressor and the expander against gzip on one machine, in
# one run, side by side. Prints sizes, times (best of three wall-clock runs,
# every program writing a real file in the same folder) and the compressor's
# peak memory on the corpus and on a 256 MiB input, after the size of the
# stub (setup.exe with its resources). Nothing is asserted.
set -euo pipefail
cd "$(dirname "$0")/.."
HOST=${HOST:-build/host}
OUT=${BENCH_DIR:-build/bench}
KIVPACK=$HOST/tools/kivpack/kivpack
cmake --build "$HOST" -j"${JOBS:-2}" --target kivpack lzss_parse_sizes >/dev/null
mkdir -p "$OUT"
STUB=${STUB:-build/win32/setup.exe}
if [ -f "$STUB" ]; then
  echo "setup.exe (the stub, resources included): $(stat -c %s "$STUB") bytes, limit 20480"
fi
exec /usr/bin/python3 bench/run_bench.py "$KIVPACK" "$HOST/bench/lzss_parse_sizes" "$OUT"
