#!/usr/bin/env bash
# A thousand galaxies in the window: the count of updated galaxies shows in full (a count
# wider than its label's box once wrapped out of sight), and clicks made while the fix runs,
# on the greyed buttons too, start nothing once it is done.
# usage: galmend-count.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" count
reset_game

for i in $(seq -w 1 1000); do cp "$E2E_ROOT/demo/game/Orion Drift.galaxy" "$game/map$i.galaxy"; done

new_case count
use_release_data
start_program
if read_window; then
    wintest click "$PROG_CAPTION" Command1 "$WAIT_MS" || fail "could not press Command1"
    wait_control Command2 enabled 1 60
    expect_eq "Label6 (found)" 1000 "$(control_field Label6 text)"
    wintest click "$PROG_CAPTION" Command2 "$WAIT_MS" || fail "could not press Command2"
    # The player clicks on while the fix runs: twice more on "fix found galaxies", twice on
    # the greyed "find galaxies".
    for name in Command2 Command2 Command1 Command1; do wintest press "$PROG_CAPTION" $name 5000; done
    # The window answers nothing while the fix runs: wait for "find galaxies" to come back.
    if wintest enabled "$PROG_CAPTION" Command1 120000; then
        # What the clicks queued behind the fix would have started shows within a moment.
        sleep 2
        read_window
        expect_eq "Label8 (stage) after the fix" " 2" "$(control_field Label8 text)"
        expect_eq "Label4 (updated)" " 1000" "$(control_field Label4 text)"
        expect_eq "Command1 enabled after the fix" 1 "$(control_field Command1 enabled)"
        expect_eq "Command2 enabled after the fix" 0 "$(control_field Command2 enabled)"
        wintest lines "$PROG_CAPTION" Label4 "$WAIT_MS"
        expect_eq "lines of Label4 as drawn" 1 "$(printf '%s\n' "$WINTEST_OUT" | sed -n 's/^lines=\([0-9]*\).*/\1/p')"
        # The found list holds each galaxy once, with a line end each.
        expect_eq "lines of Text1" 1000 "$(control_field Text1 text | grep -o 'map[0-9]*\.galaxy' | wc -l)"
    fi
    # The box that names the backup set, shown once the fix is done.
    answer_msgbox && expect_contains "message after the fix" "galmend /restore" "$MSGBOX_TEXT"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0 60
expected="$E2E_ROOT/demo/expected/game/Orion Drift.galaxy"
mismatched=0
for file in "$game"/map*.galaxy; do cmp -s "$expected" "$file" || mismatched=$((mismatched + 1)); done
expect_eq "galaxies not rewritten to the expected bytes" 0 "$mismatched"
expect_no_temporaries "$game"

finish
