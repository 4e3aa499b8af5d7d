#!/usr/bin/env bash
# Runs a command on an X display: the current one if there is one, otherwise
# a fresh 1024 x 768 virtual screen (Xvfb) that lives as long as the command.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
