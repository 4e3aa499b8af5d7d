#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build, the tests, the demo,
# the benchmarks and the fuzzers need. Safe to run again: it asks apt only for
# what is missing. Needs root when something is missing.
set -euo pipefail

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

pkgs=(
  cmake make g++ clang clang-format libclang-rt-14-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 qemu-user fonts-wine xvfb x11-apps imagemagick xauth
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pefile
  osslsigncode openssl gzip
)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [ "$need_i386" = 0 ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi

if [ "$need_i386" = 1 ]; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
