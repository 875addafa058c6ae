#!/usr/bin/env bash
# Runs that meet another run midway: "exit" pressed, or the window closed, while the window's
# undo puts galaxies back, and a second fix or a restore started while a fix or an undo runs.
# Two thousand galaxies give them time to meet.
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

readonly BUSY="Another galmend is fixing or restoring galaxies now; nothing was changed. Try again when it has ended."

# Another galmend started while the program under test runs, which must refuse at once with
# the box and the line that say so: expect_refused_alongside <arguments>...
expect_refused_alongside() {
    local out=$CASE_DIR/alongside.out other
    : >"$out"
    (launch "$out" "$(basename "$PROG_EXE")" "$@") &
    other=$!
    say "started another $PROG_NAME $* (pid $other)"
    answer_msgbox && expect_eq "message" "$BUSY" "$MSGBOX_TEXT"
    if poll 60 ended "$other"; then
        wait "$other"
        expect_eq "exit code of galmend $*" 1 "$?"
    else
        kill "$other"
        wait "$other"
        fail "galmend $* still ran after 60 s"
    fi
    expect_eq "report of galmend $*" "$(printf '%s\n' "$BUSY" "$(ended_line 1)")" \
        "$(tr -d '\r' <"$out")"
}

# ---- the window's undo stopped midway ------------------------------------------------------

# The undo stops between two galaxies: each holds its old bytes or its new ones, the set stays
# open, and a restore then finishes it. While the undo runs, a restore is refused.
# undo_stopped <"exit" or "close">
undo_stopped() {
    local how=$1 old
    new_case "window-undo-$how"
    install_many_galaxies
    fix_silently 280
    name=${SET##*\\}
    expect_all_rewritten
    start_program
    if read_window; then
        wintest click "$PROG_CAPTION" Command6 "$WAIT_MS" || fail "could not press Command6"
        answer_msgbox yes && expect_contains "question" \
            "Put back the old bytes of the $GALAXIES galaxies that the fix of" "$MSGBOX_TEXT"
        if poll 120 some_old; then
            [[ "$how" == exit ]] && expect_refused_alongside /restore
        else
            fail "no galaxy was old again within 120 s of the undo's start"
        fi
        if [[ "$how" == exit ]]; then
            wintest click "$PROG_CAPTION" Command3 "$WAIT_MS" || fail "could not press Command3"
        else
            wintest close "$PROG_CAPTION" "$WAIT_MS" || fail "could not close the window"
        fi
    fi
    expect_exit 0 60
    old=$((GALAXIES - $(rewritten_count)))
    say "$how left $old of $GALAXIES galaxies old again"
    ((old < GALAXIES)) || fail "the undo had put back every galaxy before it was stopped"
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
    [[ -f "${SET_FILE%.zip} restored.zip" ]] ||
        fail "the set was not renamed \"${name%.zip} restored.zip\""
}

undo_stopped exit
undo_stopped close

# ---- a second fix while one runs -------------------------------------------------------------

# A second fix, and a restore, end at once and change nothing: no set of their own, no galaxy
# written twice, none put back from the set the fix is writing.
new_case two-fixes
install_many_galaxies
start_program /s
if poll 120 some_rewritten; then
    expect_refused_alongside /s
    expect_refused_alongside /restore
    ended "$PROG_PID" && fail "the fix had ended before the others were refused"
else
    fail "no galaxy was rewritten within 120 s of the fix's start"
fi
expect_exit 0 280
expect_contains "the first's report" "Rewrote $GALAXIES of the $GALAXIES galaxies found" \
    "$(program_report)"
expect_all_rewritten
expect_no_temporaries "$game" "$user"
expect_eq "backup sets" "run 1.zip" "$(find "$BACKUPS_DIR" -name '*.zip' | sed 's/.* \(run\)/\1/')"
finish
