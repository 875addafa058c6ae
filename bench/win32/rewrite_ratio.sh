#!/bin/sh
# The rewriting of one galaxy by the i686 build against the x86-64 build, both under Wine,
# their runs interleaved so that both meet the same load on the host.
#   bench/win32/rewrite_ratio.sh [megabytes 50] [runs 5] [rounds 15]
# Needs build/win32 and build/win64 with convert_bench, and WINEPREFIX set.
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
megabytes=${1:-50}
runs=${2:-5}
rounds=${3:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data="Z:$(echo "$repo/data" | tr / '\\')"

# One run of one build: prints its median in MB/s.
run() {
    root="Z:$(echo "$work/$1" | tr / '\\')"
    WINELOADER=/usr/lib/wine/$2 /usr/lib/wine/$2 "$repo/build/$1/bench/win32/convert_bench.exe" \
        --rewrite "$megabytes" --rounds "$rounds" --root "$root" --data "$data" |
        sed -n 's/.* median .* s, \([0-9.]*\) MB\/s/\1/p'
}

for i in $(seq "$runs"); do
    echo "i686 $(run win32 wine)" >>"$work/times"
    echo "x86-64 $(run win64 wine64)" >>"$work/times"
done
# The median of one build's figures.
median() {
    sed -n "s/^$1 //p" "$work/times" | sort -n |
        awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
i686=$(median i686)
x64=$(median x86-64)
for build in i686 x86-64; do
    echo "$build $(sed -n "s/^$build //p" "$work/times" | tr '\n' ' ') MB/s, median $(median $build)"
done
awk -v a="$i686" -v b="$x64" 'BEGIN { printf "i686 time / x86-64 time: %.2f\n", b / a }'
