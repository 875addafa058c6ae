#!/usr/bin/env bash
# Builds everything (native, 32-bit and 64-bit Windows) and runs every test:
# native unit tests under the sanitizers, then the end-to-end runs under Wine. Its last lines
# name what failed and why, and its last line says what did not run and why (a host that
# cannot execute 32-bit code, say).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zarn_ensure_packages "${zarn_build_packages[@]}" "${zarn_wine_packages[@]}"

for preset in win32 win64 fuzz linux-debug; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
temp=build/linux-debug/Testing/Temporary

# What made each failed test of the last run fail: its failed checks, under the test's name and
# the case they were in. CTest's own output of a long scenario is cut short by many a CI view,
# so the script's last lines say it again.
failed_checks() {
    [[ -f "$temp/LastTestsFailed.log" ]] || return 0
    local name
    while IFS=: read -r _ name; do
        echo "$name:"
        awk -v name="$name" '
            /^[0-9]+\/[0-9]+ Testing: / { inside = substr($0, index($0, " Testing: ") + 10) == name; next }
            /^<end of output>/ { inside = 0 }
            !inside { next }
            /^== / { header = $0; shown = 0; next }
            after > 0 { print "    " $0; after--; next }
            /FAIL:|: Failure$|still runs after|could not start/ {
                if (header != "" && !shown) { print "  " header; shown = 1 }
                print "    " $0
                if (/: Failure$/) after = 4
            }' "$temp/LastTest.log"
    done <"$temp/LastTestsFailed.log"
}

rc=0
ctest --preset linux-debug -j2 || rc=$?

# Every skipped test printed "SKIP: <reason>"; one line gathers them.
skipped=$({ grep -h '^SKIP: ' "$temp/LastTest.log" 2>/dev/null || true; } | sed 's/^SKIP: //' |
    sort | uniq -c | sed 's/^ *\([0-9]*\) \(.*\)/\2 (\1 tests skipped)/' | sed 's/(1 tests/(1 test/' |
    paste -sd ';' | sed 's/;/; /g')

# The end-to-end runs lean on Wine and Xvfb, which now and then fail a step on a loaded
# machine. When only they failed, they run once more: a fault of the programs fails again,
# and what failed the first time is printed either way.
first='' again=''
if ((rc != 0)); then
    first=$(failed_checks)
    if [[ -s "$temp/LastTestsFailed.log" ]] && ! grep -qv ':e2e\.' "$temp/LastTestsFailed.log"; then
        echo
        echo "Running the failed end-to-end tests once more:"
        rc=0
        ctest --preset linux-debug --rerun-failed || rc=$?
        ((rc == 0)) || again=$(failed_checks)
    fi
fi

echo
if [[ -n "$first" ]]; then
    if [[ -n "$again" ]]; then
        printf 'Failed:\n%s\nFailed again:\n%s\n\n' "$first" "$again"
    elif ((rc == 0)); then
        printf 'Failed once, then passed when run again:\n%s\n\n' "$first"
    else
        printf 'Failed:\n%s\n\n' "$first"
    fi
fi
if [[ -n "$skipped" ]]; then
    echo "$skipped"
else
    echo "Nothing was skipped: every test ran."
fi
exit "$rc"
