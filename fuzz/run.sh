#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds from a fresh corpus: run.sh <target> <seconds> [dict]
set -euo pipefail
target=$1 seconds=$2 dict=${3:-}
[[ -x "$target" ]] || { echo "missing fuzz target $target: build the fuzz preset first"; exit 1; }
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
[[ -n "$dict" ]] && args+=(-dict="$dict")
"$target" "${args[@]}" "$corpus"
