#!/usr/bin/env bash
# Fails when a C or C++ source of the project differs from what clang-format
# (with the repository's .clang-format) would make of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files follow .clang-format"
