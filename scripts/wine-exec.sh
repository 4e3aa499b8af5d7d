#!/usr/bin/env bash
# Runs one Windows program of the test build under Wine: the emulator that
# CMake gives every Windows test executable. The prefix is made once per
# build tree (build/wineprefix unless KIV_WINEPREFIX says otherwise) and
# reused by every test; making it is serialised with a lock, so parallel
# tests wait for the first one instead of racing it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=${KIV_WINEPREFIX:-$(cd "$here/.." && pwd)/build/wineprefix}
mkdir -p "$(dirname "$prefix")"
flock "$prefix.lock" "$here/wine/wine-run.sh" init "$prefix" >/dev/null
exec "$here/wine/wine-run.sh" run "$prefix" "$@"
