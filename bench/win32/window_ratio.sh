#!/usr/bin/env bash
# galmend's find and fix in its window against the same work silent ("galmend /s"), under
# Wine, on fresh copies of the same old galaxies, the runs interleaved so that both meet the
# same load on the host. Target: the window takes at most 1.1 times as long.
#   bench/win32/window_ratio.sh [rounds 3] [galaxies 5000] [kilobytes 10] [bits 64]
# Needs the win64 preset built (win32 for bits 32), Wine and Xvfb. It runs in the e2e
# harness's 64-bit prefix and game install (E2E_WORK, build/e2e-work unless set).
#
# What is timed, the same work in both runs: finding the galaxies and fixing them.
#   window  from the click on "find galaxies" until "fix found galaxies" is enabled, plus
#           from the click on "fix found galaxies" until "find galaxies" is enabled again;
#           wintest times both itself and asks the window nothing meanwhile
#   silent  the whole "galmend /s" run less a "galmend /s" run without galaxies, which is
#           Wine starting the process, the program's start-up and its end
readonly LIMIT=1800 # seconds one run may take at most
RUN_TIMEOUT=$LIMIT
source "$(cd "$(dirname "$0")/../.." && pwd)/e2e/lib.sh"
rounds=${1:-3}
count=${2:-5000}
kilobytes=${3:-10}
bits=${4:-64}

begin galmend "$bits" 64 window-ratio
reset_game
game=$(unixpath "$GAME_FOLDER")
corpus=$CASES_DIR/galaxies
build=$E2E_BUILD64
((bits == 32)) && build=$E2E_BUILD32
say "making $count galaxies of $kilobytes KB"
"${WINE_EXE[@]}" "$build/bench/win32/corpus.exe" galaxies "Z:${corpus//\//\\}" "$count" \
    "$kilobytes" 2>/dev/null | tr -d '\r' || exit 1
new_case run
use_release_data

refill_game() {
    rm -f "$game"/*.galaxy
    cp "$corpus"/*.galaxy "$game/"
}

# wintest with the run's limit; WINTEST_OUT holds what it printed.
timed_wintest() {
    WINTEST_OUT=$(timeout "$LIMIT" "${WINE_EXE[@]}" "$WINTEST" "$@" 2>/dev/null | tr -d '\r')
}

# One click timed until the other button is enabled: sets CLICK_MS.
timed_click() {
    if ! timed_wintest timeclick "$PROG_CAPTION" "$1" "$2" $((LIMIT * 1000)); then
        say "wintest timeclick $1 $2 failed: $WINTEST_OUT"
        return 1
    fi
    CLICK_MS=${WINTEST_OUT##*ms=}
}

# The window run: sets FIND_MS and FIX_MS.
window_run() {
    refill_game
    start_program
    timed_wintest controls "$PROG_CAPTION" "$WAIT_MS" || return 1
    timed_click Command1 Command2 || return 1
    FIND_MS=$CLICK_MS
    timed_click Command2 Command1 || return 1
    FIX_MS=$CLICK_MS
    # The box naming the backup set comes after "find galaxies" is enabled, out of the time.
    if ! timed_wintest msgbox "$PROG_NAME" ok "$WAIT_MS"; then
        say "no box named the backup set after the fix: $WINTEST_OUT"
        return 1
    fi
    timed_wintest controls "$PROG_CAPTION" "$WAIT_MS"
    if ! grep -q "^control name=Label4 .* text= $count\$" <<<"$WINTEST_OUT"; then
        say "the window did not count $count updated galaxies"
        return 1
    fi
    timed_wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
    wait_program 60
    [[ "$PROG_RC" == 0 ]]
}

# A silent run: sets SILENT_MS, the process's start and end included.
silent_run() {
    local started=${EPOCHREALTIME/./}
    start_program /s
    wait_program "$LIMIT"
    SILENT_MS=$(((${EPOCHREALTIME/./} - started) / 1000))
    [[ "$PROG_RC" == 0 ]]
}

ratios=()
for round in $(seq "$rounds"); do
    window_run || { say "round $round: the window run failed"; exit 1; }
    refill_game
    silent_run || { say "round $round: the silent run failed"; exit 1; }
    silent=$SILENT_MS
    grep -q "^Rewrote $count of " "$CASE_DIR/program.out" ||
        { say "round $round: the silent run did not rewrite $count galaxies"; exit 1; }
    rm -f "$game"/*.galaxy
    silent_run || { say "round $round: the silent run without galaxies failed"; exit 1; }
    empty=$SILENT_MS
    window=$((FIND_MS + FIX_MS))
    net=$((silent - empty))
    ratio=$(awk -v w="$window" -v s="$net" 'BEGIN { printf "%.3f", w / s }')
    ratios+=("$ratio")
    say "round $round: window $window ms (find $FIND_MS, fix $FIX_MS), silent $net ms" \
        "($silent less $empty without galaxies), window/silent $ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n |
    awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
verdict=$(awk -v m="$median" 'BEGIN { print (m <= 1.1 ? "met" : "missed") }')
say "median window/silent over $rounds rounds: ${median}x, target 1.1x: $verdict"
