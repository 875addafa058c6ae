#!/usr/bin/env bash
# A long fix in the window: the window answers all along and its count of updated galaxies
# moves, and "exit" or closing the window while the fix runs ends the program between two
# galaxies, each galaxy whole (old or new) and no temporary file left.
# usage: galmend-live.sh <exe bits> <prefix bits>
# E2E_LIVE_GALAXIES sets how many galaxies the fix rewrites (3000 unless given).

# Under Wine the fix of all the galaxies in the window takes a minute or two.
RUN_TIMEOUT=360
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" live
reset_game

readonly GALAXIES=${E2E_LIVE_GALAXIES:-3000}
readonly OLD=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
readonly NEW=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy
# How long the fix of all the galaxies may take at most, how long a count under way may take
# to show, and how long the program may take to end after "exit".
readonly FIX_SECONDS=300
readonly COUNT_SECONDS=30
readonly STOP_SECONDS=10

# The galaxies, made once: small old ones, written by the shell, not a process each.
template=$CASES_DIR/galaxies
mkdir -p "$template"
bytes=$(cat "$OLD" && printf x)
for i in $(seq -w 1 "$GALAXIES"); do printf '%s' "${bytes%x}" >"$template/map$i.galaxy"; done

# The game folder with the old galaxies and nothing else left from an earlier case.
refill_game() {
    rm -f "$game"/*.galaxy "$game"/*.tmp
    cp "$template"/*.galaxy "$game/"
}

# Starts the program, finds the galaxies and clicks "fix found galaxies"; fails the case
# (returns 1) when a step does not come.
start_fix() {
    start_program
    read_window || return 1
    if ! wintest click "$PROG_CAPTION" Command1 "$WAIT_MS"; then
        fail "could not press Command1"
        return 1
    fi
    wait_control Command2 enabled 1 60 || return 1
    expect_eq "Label6 (found)" "$GALAXIES" "$(control_field Label6 text)"
    if ! wintest click "$PROG_CAPTION" Command2 "$WAIT_MS"; then
        fail "could not press Command2"
        return 1
    fi
}

# After a step that did not come: the window asked to close, and the program waited for.
give_up() {
    wintest close "$PROG_CAPTION" 1000
    wait_program "$FIX_SECONDS"
}

# Watches the window answer while the fix runs: watch_window <output file> <interval ms>
# [until text]. A window that does not answer costs a second a reading at most, and the
# watch ends by itself, so a hung window fails the case instead of holding it.
watch_window() {
    local out=$1
    shift
    timeout -k 5 $((FIX_SECONDS + 30)) "${WINE_EXE[@]}" "$WINTEST" answers "$PROG_CAPTION" \
        Label4 "$FIX_SECONDS" "$@" >"$out" 2>/dev/null
}

# What the watch printed: its summary's field (readings, unanswered, texts, ended).
summary_field() { sed -n "s/^summary .*\<$2=\([^ ]*\).*/\1/p" "$1"; }

# The counts the window answered with while the fix was under way: neither 0 nor the total.
midway_counts() {
    sed -n 's/^answered=1 .* text= *\([0-9]*\)$/\1/p' "$1" | awk -v all="$GALAXIES" \
        '$1 > 0 && $1 < all' | sort -un
}

# The watch saw a count under way, the final count, or its end.
# shellcheck disable=SC2317  # called through poll
midway_or_done() {
    [[ -n "$(midway_counts "$1")" ]] || grep -q "^answered=1 .* text= $GALAXIES\$" "$1" ||
        grep -q '^summary ' "$1"
}

# Every galaxy is byte for byte its old file or the rewritten one; says how many of each:
# expect_whole_galaxies <new galaxies expected: all, some>
expect_whole_galaxies() {
    local oldsum newsum counts old new other
    oldsum=$(sha256sum <"$OLD" | cut -d' ' -f1)
    newsum=$(sha256sum <"$NEW" | cut -d' ' -f1)
    counts=$(find "$game" -maxdepth 1 -name 'map*.galaxy' -exec sha256sum {} + |
        awk -v o="$oldsum" -v n="$newsum" \
            '{ if ($1 == o) old++; else if ($1 == n) new++; else { other++; name = $2 } }
             END { printf "%d %d %d %s", old, new, other, name }')
    read -r old new other name <<<"$counts"
    say "galaxies: $old old, $new rewritten, $other neither"
    expect_eq "galaxies" "$GALAXIES" $((old + new + other))
    expect_eq "galaxies neither old nor rewritten (one of them: ${name:-none})" 0 "$other"
    if [[ "$1" == all ]]; then
        expect_eq "galaxies rewritten" "$GALAXIES" "$new"
    elif ((new == 0 || old == 0)); then
        fail "the fix was to stop between two galaxies, but $new of $GALAXIES were rewritten"
    fi
    expect_no_temporaries "$game" "$user"
}

say "$GALAXIES galaxies of $(stat -c %s "$OLD") bytes"

# ---- the window answers while the fix runs, and the count moves ------------------------------

new_case answers
use_release_data
refill_game
if start_fix; then
    out=$CASE_DIR/watch.out
    watch_window "$out" 250 " $GALAXIES"
    sed 's/^/  | /' "$out"
    if ! grep -q '^summary ' "$out"; then
        fail "wintest answers ended without a summary"
    elif (($(summary_field "$out" unanswered) > 0)); then
        fail "the window did not answer during the fix:" \
            "$(summary_field "$out" unanswered) of $(summary_field "$out" readings) readings" \
            "went unanswered (slowest $(summary_field "$out" slowest) ms)"
    fi
    moved=$(midway_counts "$out" | wc -l)
    ((moved >= 2)) ||
        fail "Label4 showed $moved count(s) between 0 and $GALAXIES while the fix ran, not 2 or more"
    watchend=$(summary_field "$out" ended)
    if [[ "$watchend" != until ]]; then
        fail "the watch ended ($watchend) before Label4 read the final count"
    elif wait_control Command1 enabled 1 30; then
        expect_eq "Label4 (updated)" " $GALAXIES" "$(control_field Label4 text)"
        expect_eq "Command2 enabled after the fix" 0 "$(control_field Command2 enabled)"
    fi
    # The box that names the backup set, shown once the fix is done.
    answer_msgbox && expect_contains "message after the fix" "galmend /restore" "$MSGBOX_TEXT"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
    expect_exit 0 "$FIX_SECONDS"
    expect_whole_galaxies all
else
    give_up
fi

# ---- "exit" or closing the window while the fix runs ---------------------------------------

# args: the case, the wintest command that ends the program (click or close) and its control
stop_during_fix() {
    local out started watcher how="$2${3:+ $3}"
    new_case "$1"
    use_release_data
    refill_game
    if start_fix; then
        out=$CASE_DIR/watch.out
        watch_window "$out" 100 &
        watcher=$!
        # A window that does not answer shows no count: "exit" is then pressed all the same,
        # and the program must still end in time.
        poll "$COUNT_SECONDS" midway_or_done "$out"
        if [[ -z "$(midway_counts "$out")" ]]; then
            fail "Label4 showed no count between 0 and $GALAXIES within $COUNT_SECONDS s of the" \
                "fix's start (the window did not answer)"
        fi
        started=${EPOCHREALTIME/./}
        wintest "$2" "$PROG_CAPTION" "${@:3}" "$WAIT_MS" || fail "wintest $how failed"
        wait_program "$STOP_SECONDS"
        expect_eq "exit code after wintest $how during the fix" 0 "$PROG_RC"
        say "ended $(((${EPOCHREALTIME/./} - started) / 1000)) ms after wintest $how began"
        # A watch that outlives the window is left to its own time limit.
        if poll "$STOP_SECONDS" ended "$watcher"; then
            wait "$watcher"
        else
            fail "wintest answers did not end with the window"
        fi
        sed 's/^/  | /' "$out"
        expect_whole_galaxies some
    else
        give_up
    fi
}

stop_during_fix exit-during-fix click Command3
stop_during_fix close-during-fix close

finish
