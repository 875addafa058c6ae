#!/usr/bin/env bash
# Finds out once per test run how Wine starts on this host, and says what it found.
source "$(dirname "$0")/lib.sh"
load_host fresh
say "64-bit programs start with: ${WINE64[*]}"
if ((HOST_RUNS_32)); then
    say "32-bit programs start with: ${WINE32[*]}"
else
    say "32-bit programs do not run: $HOST_NO_32_REASON"
fi
