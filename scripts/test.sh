#!/usr/bin/env bash
# Builds everything (native, 32-bit and 64-bit Windows) and runs every test:
# native unit tests under the sanitizers, then the end-to-end runs under Wine. Its last line
# says what did not run and why (a host that cannot execute 32-bit code, say).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zarn_ensure_packages "${zarn_build_packages[@]}" "${zarn_wine_packages[@]}"

for preset in win32 win64 fuzz linux-debug; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
rc=0
ctest --preset linux-debug -j2 || rc=$?

# Every skipped test printed "SKIP: <reason>"; one line gathers them.
log=build/linux-debug/Testing/Temporary/LastTest.log
skipped=$({ grep -h '^SKIP: ' "$log" 2>/dev/null || true; } | sed 's/^SKIP: //' | sort | uniq -c |
    sed 's/^ *\([0-9]*\) \(.*\)/\2 (\1 tests skipped)/' | sed 's/(1 tests/(1 test/' | paste -sd ';' | sed 's/;/; /g')
echo
if [[ -n "$skipped" ]]; then
    echo "$skipped"
else
    echo "Nothing was skipped: every test ran."
fi
exit "$rc"
