#!/usr/bin/env bash
# Makes a fresh Wine prefix for this test run: prefix.sh <bits>
source "$(dirname "$0")/lib.sh"
command -v wine >/dev/null || skip "wine is not installed"
load_host
needs_bits "$1"
make_prefix "$1" fresh
