#!/usr/bin/env bash
# Runs that meet another run midway: "exit" pressed while the window's undo puts galaxies back,
# and a second fix started while one rewrites. Two thousand galaxies give them time to meet.
# usage: galmend-midway.sh <exe bits> <prefix bits>

# Two thousand galaxies fixed and restored under Wine take a minute or two.
RUN_TIMEOUT=300
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" midway

# shellcheck source=restore-helpers.sh
source "$E2E_DIR/restore-helpers.sh"

# The checksum every galaxy has after a whole fix, checked to be one and not the old one.
NEW_SUM=

# All galaxies rewritten alike: sets NEW_SUM.
expect_all_rewritten() {
    NEW_SUM=$(sha256sum <"$game/map0001.galaxy" | cut -d' ' -f1)
    [[ "$NEW_SUM" != "$OLD_SUM" ]] || fail "map0001.galaxy was not rewritten"
    expect_eq "galaxies not rewritten alike" 0 "$(others_count "$NEW_SUM")"
}

# ---- exit pressed while the window undoes a fix --------------------------------------------

# The undo stops between two galaxies: each holds its old bytes or its new ones, the set stays
# open, and a restore then finishes it.
new_case window-undo-exit
install_many_galaxies
fix_silently 280
name=${SET##*\\}
expect_all_rewritten
start_program
if read_window; then
    wintest click "$PROG_CAPTION" Command6 "$WAIT_MS" || fail "could not press Command6"
    answer_msgbox yes && expect_contains "question" \
        "Put back the old bytes of the $GALAXIES galaxies that the fix of" "$MSGBOX_TEXT"
    poll 120 some_old || fail "no galaxy was old again within 120 s of the undo's start"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS" || fail "could not press Command3"
fi
expect_exit 0 60
old=$((GALAXIES - $(rewritten_count)))
say "exit left $old of $GALAXIES galaxies old again"
((old < GALAXIES)) || fail "the undo had put back every galaxy before exit was pressed"
expect_eq "galaxies neither old nor new" 0 "$(others_count "$OLD_SUM" "$NEW_SUM")"
expect_no_temporaries "$game" "$user"
[[ -f "$SET_FILE" ]] || fail "the set is not open under its name $name any more"
expect_absent "the set marked restored" "${SET_FILE%.zip} restored.zip"
start_program /restore
expect_exit 0 120
expect_eq "report, count line" \
    "Restored $((GALAXIES - old)) of the $GALAXIES galaxies in $name; $old were already as before the fix." \
    "$(program_report | tail -2 | head -1)"
expect_eq "report, last line" "$(ended_line 0)" "$(program_report | tail -1)"
expect_eq "galaxies not old again" 0 "$(others_count "$OLD_SUM")"
[[ -f "${SET_FILE%.zip} restored.zip" ]] || fail "the set was not renamed \"${name%.zip} restored.zip\""

# ---- a second fix while one runs -------------------------------------------------------------

# The second ends at once and changes nothing: no set of its own, no galaxy written twice.
new_case two-fixes
install_many_galaxies
start_program /s
if poll 120 some_rewritten; then
    (launch "$CASE_DIR/second.out" "$(basename "$PROG_EXE")" /s) &
    second=$!
    say "started a second $PROG_NAME /s (pid $second)"
    busy="Another galmend is fixing or restoring galaxies now; nothing was changed. Try again when it has ended."
    answer_msgbox && expect_eq "message" "$busy" "$MSGBOX_TEXT"
    if poll 60 ended "$second"; then
        wait "$second"
        expect_eq "the second's exit code" 1 "$?"
    else
        kill "$second"
        wait "$second"
        fail "the second galmend /s still ran after 60 s"
    fi
    expect_eq "the second's report" "$(printf '%s\n' "$busy" "$(ended_line 1)")" \
        "$(tr -d '\r' <"$CASE_DIR/second.out")"
    ended "$PROG_PID" && fail "the first fix had ended before the second was refused"
else
    fail "no galaxy was rewritten within 120 s of the fix's start"
fi
expect_exit 0 280
expect_contains "the first's report" "Rewrote $GALAXIES of the $GALAXIES galaxies found" \
    "$(program_report)"
expect_all_rewritten
expect_no_temporaries "$game" "$user"
expect_eq "backup sets" 1 "$(find "$BACKUPS_DIR" -name '*.zip' | wc -l)"
finish
