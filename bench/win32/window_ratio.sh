#!/usr/bin/env bash
# galmend's work in its window against the same work silent, under Wine, the runs interleaved
# so that both meet the same load on the host: find and fix against "galmend /s" on fresh
# copies of the same old galaxies, or (restore) "undo last fix" against "galmend /restore" of
# the same set, each run from the same fixed galaxies and set. Target: the window takes at
# most 1.1 times as long. With check: "galmend /check" against "galmend /s", each on a fresh
# copy of the same old galaxies; target: the check takes at most half as long.
#   bench/win32/window_ratio.sh [restore|check] [rounds 3] [galaxies 5000] [kilobytes 10] [bits 64]
# Needs the win64 preset built (win32 for bits 32), Wine and Xvfb. It runs in the e2e
# harness's 64-bit prefix and game install (E2E_WORK, build/e2e-work unless set).
#
# What is timed, the same work in both runs: finding the galaxies and fixing them.
#   window  from the click on "find galaxies" until "fix found galaxies" is enabled, plus
#           from the click on "fix found galaxies" until "find galaxies" is enabled again;
#           wintest times both itself and asks the window nothing meanwhile
#   silent  the whole "galmend /s" run less a "galmend /s" run without galaxies, which is
#           Wine starting the process, the program's start-up and its end
# With restore: putting the set back.
#   window  from the Yes to undo's question until the box that says what was restored shows;
#           wintest times it itself and asks the window nothing meanwhile
#   silent  the whole "galmend /restore" run less one without any set
# With check: the whole "galmend /check" run and the whole "galmend /s" run, each less the same
# run without galaxies.
readonly LIMIT=1800 # seconds one run may take at most
RUN_TIMEOUT=$LIMIT
source "$(cd "$(dirname "$0")/../.." && pwd)/e2e/lib.sh"
mode=fix
[[ "${1:-}" == restore || "${1:-}" == check ]] && { mode=$1; shift; }
rounds=${1:-3}
count=${2:-5000}
kilobytes=${3:-10}
bits=${4:-64}

begin galmend "$bits" 64 "window-ratio-$mode"
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

# A silent run with the arguments given: sets SILENT_MS, the process's start and end included.
# It fails unless the run ends with exit code WANT_RC (0 unless set).
silent_run() {
    local started=${EPOCHREALTIME/./}
    start_program "$@"
    wait_program "$LIMIT"
    SILENT_MS=$(((${EPOCHREALTIME/./} - started) / 1000))
    [[ "$PROG_RC" == "${WANT_RC:-0}" ]]
}

# What each round compares, and the most the first may take as a multiple of the second.
first=window second=silent target=1.1
[[ $mode == check ]] && { first=check second=fix target=0.5; }
ratios=()
# Prints the round and keeps its ratio: round_ratio <round> <first ms> <second ms> <how>...
round_ratio() {
    local ratio
    ratio=$(awk -v w="$2" -v s="$3" 'BEGIN { printf "%.3f", w / s }')
    ratios+=("$ratio")
    say "round $1: $first $2 ms$4, $second $3 ms$5, $first/$second $ratio"
}

backups=$(unixpath "$USER_APPS\\galmend backups")
kept=$CASES_DIR/kept
old_sum=$(cat "$corpus"/*.galaxy | md5sum)

# The game folder and the backup set as one "galmend /s" left them, kept in $kept once.
keep_fixed() {
    refill_game
    silent_run /s || { say "the fix failed"; return 1; }
    grep -q "^Rewrote $count of " "$CASE_DIR/program.out" ||
        { say "the fix did not rewrite $count galaxies"; return 1; }
    rm -rf "$kept"
    mkdir -p "$kept/game"
    cp "$game"/*.galaxy "$kept/game/"
    cp -r "$backups" "$kept/backups"
}

put_fixed() {
    rm -f "$game"/*.galaxy
    cp "$kept/game"/*.galaxy "$game/"
    rm -rf "$backups"
    cp -r "$kept/backups" "$backups"
}

restored() {
    [[ "$(cat "$game"/*.galaxy | md5sum)" == "$old_sum" ]] && return 0
    say "the galaxies do not hold their old bytes again"
    return 1
}

undo_disabled() {
    timed_wintest controls "$PROG_CAPTION" "$WAIT_MS" &&
        grep -q "^control name=Command6 .* enabled=0" <<<"$WINTEST_OUT"
}

# The window's undo: sets RESTORE_MS.
window_restore_run() {
    put_fixed
    start_program
    if ! timed_wintest enabled "$PROG_CAPTION" Command6 "$WAIT_MS"; then
        say "undo last fix was not enabled: $WINTEST_OUT"
        return 1
    fi
    timed_wintest click "$PROG_CAPTION" Command6 "$WAIT_MS" || return 1
    if ! timed_wintest timeanswer "$PROG_NAME" yes $((LIMIT * 1000)) ||
        ! grep -q "^text=Put back the old bytes of the $count galaxies " <<<"$WINTEST_OUT"; then
        say "undo's question or the box after it: $WINTEST_OUT"
        return 1
    fi
    RESTORE_MS=${WINTEST_OUT##*ms=}
    if ! timed_wintest msgbox "$PROG_NAME" ok "$WAIT_MS" ||
        ! grep -q "^text=Restored $count of the $count galaxies in " <<<"$WINTEST_OUT"; then
        say "the box after undo did not say that all were restored: $WINTEST_OUT"
        return 1
    fi
    poll 30 undo_disabled || { say "undo last fix stayed enabled"; return 1; }
    timed_wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
    wait_program 60
    [[ "$PROG_RC" == 0 ]] && restored
}

# "galmend /restore" less one without a set: sets SILENT_MS to the difference.
silent_restore_run() {
    put_fixed
    silent_run /restore || { say "galmend /restore failed"; return 1; }
    local whole=$SILENT_MS
    grep -q "^Restored $count of the $count galaxies in " "$CASE_DIR/program.out" ||
        { say "galmend /restore did not restore $count galaxies"; return 1; }
    restored || return 1
    rm -rf "${backups:?}"/*
    silent_run /restore || { say "galmend /restore without a set failed"; return 1; }
    grep -q "^There is no backup set to restore in " "$CASE_DIR/program.out" ||
        { say "galmend /restore found a set where none was"; return 1; }
    SILENT_EMPTY_MS=$SILENT_MS
    SILENT_MS=$((whole - SILENT_MS))
    SILENT_WHOLE_MS=$whole
}

fix_rounds() {
    local round silent empty
    for round in $(seq "$rounds"); do
        window_run || { say "round $round: the window run failed"; exit 1; }
        refill_game
        silent_run /s || { say "round $round: the silent run failed"; exit 1; }
        silent=$SILENT_MS
        grep -q "^Rewrote $count of " "$CASE_DIR/program.out" ||
            { say "round $round: the silent run did not rewrite $count galaxies"; exit 1; }
        rm -f "$game"/*.galaxy
        silent_run /s || { say "round $round: the silent run without galaxies failed"; exit 1; }
        empty=$SILENT_MS
        round_ratio "$round" $((FIND_MS + FIX_MS)) $((silent - empty)) \
            " (find $FIND_MS, fix $FIX_MS)" " ($silent less $empty without galaxies)"
    done
}

restore_rounds() {
    local round runs
    say "fixing them once; each run starts from that fix's galaxies and set"
    keep_fixed || exit 1
    for round in $(seq "$rounds"); do
        # Taken in turn first, so that neither always meets a cache the other warmed.
        runs=(window_restore_run silent_restore_run)
        ((round % 2)) || runs=(silent_restore_run window_restore_run)
        "${runs[0]}" || { say "round $round: ${runs[0]} failed"; exit 1; }
        "${runs[1]}" || { say "round $round: ${runs[1]} failed"; exit 1; }
        round_ratio "$round" "$RESTORE_MS" "$SILENT_MS" " (${runs[0]} first)" \
            " ($SILENT_WHOLE_MS less $SILENT_EMPTY_MS without a set)"
    done
}

# One silent run with the argument given (/check or /s) on fresh copies of the galaxies, less
# the same run without galaxies: sets NET_MS and NET_HOW.
net_run() {
    local rc=0 counted=Rewrote whole
    [[ $1 == /check ]] && rc=4 counted="Would rewrite"
    refill_game
    WANT_RC=$rc silent_run "$1" || { say "galmend $1 ended with exit code $PROG_RC"; return 1; }
    whole=$SILENT_MS
    grep -q "^$counted $count of " "$CASE_DIR/program.out" ||
        { say "galmend $1 did not count $count galaxies"; return 1; }
    [[ $1 == /s || "$(cat "$game"/*.galaxy | md5sum)" == "$old_sum" ]] ||
        { say "galmend /check changed the galaxies"; return 1; }
    rm -rf "${backups:?}"/* "$game"/*.galaxy
    silent_run "$1" || { say "galmend $1 without galaxies failed"; return 1; }
    NET_MS=$((whole - SILENT_MS))
    NET_HOW=" ($whole less $SILENT_MS without galaxies)"
}

check_rounds() {
    local round order run
    local -A net how
    for round in $(seq "$rounds"); do
        # Taken in turn first, so that neither always meets a cache the other warmed.
        order=(/check /s)
        ((round % 2)) || order=(/s /check)
        for run in "${order[@]}"; do
            net_run "$run" || { say "round $round: galmend $run failed"; exit 1; }
            net[$run]=$NET_MS how[$run]=$NET_HOW
        done
        round_ratio "$round" "${net[/check]}" "${net[/s]}" "${how[/check]}" \
            "${how[/s]}; ${order[0]} first"
    done
}

"${mode}_rounds"
median=$(printf '%s\n' "${ratios[@]}" | sort -n |
    awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
verdict=$(awk -v m="$median" -v t="$target" 'BEGIN { print (m <= t ? "met" : "missed") }')
say "$mode: median $first/$second over $rounds rounds: ${median}x, target ${target}x: $verdict"
