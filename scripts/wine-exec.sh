#!/usr/bin/env bash
# Runs a Windows program of the test build under Wine (placeholder until the
# Wine runner lands): wine must be able to run 32-bit programs.
exec wine "$@"
