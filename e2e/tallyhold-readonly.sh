#!/usr/bin/env bash
# A read-only galaxy.manifest below the game folder: the removal from the button stops there
# with a message naming it; what was deleted before stays deleted, the rest stays. A silent
# run removes the others, puts its new manifest in place, and then names the read-only one.
# usage: tallyhold-readonly.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" readonly

locked="$GAME_FOLDER\\maps\\galaxy.manifest"

# Walk order: Alpha's manifest is deleted before the locked one, the game folder's own and
# the per-user one after it.
set_up() {
    reset_game
    mkdir -p "$game/Alpha" "$game/maps"
    for file in "$game/Alpha/galaxy.manifest" "$game/maps/galaxy.manifest" \
        "$game/galaxy.manifest" "$user/galaxy.manifest"; do
        manifest_text "before" >"$file"
    done
    cp "$game/galaxy.manifest" "$CASE_DIR/before.manifest"
    set_readonly "$locked"
}

check_files() {
    expect_absent "the manifest deleted before" "$game/Alpha/galaxy.manifest"
    expect_same_file "the read-only manifest" "$CASE_DIR/before.manifest" \
        "$game/maps/galaxy.manifest"
    expect_readonly "the read-only manifest" "$locked"
    expect_no_temporaries "$game" "$user"
}

new_case silent
set_up
use_release_data
start_program /s
if answer_msgbox; then
    expect_eq "message, first line" "$(escape "Wrote $GAME_FOLDER\\galaxy.manifest, but 1 earlier\
 manifest could not be removed:")" "$(msgbox_first_line)"
    expect_contains "message" "$(escape "Cannot delete $locked")" "$(msgbox_rest)"
fi
expect_exit 1
check_files
expect_manifest "the game folder's new manifest" "$game/galaxy.manifest"
expect_absent "the per-user manifest" "$user/galaxy.manifest"

new_case button
set_up
use_release_data
start_program
if read_window; then
    wintest click "$PROG_CAPTION" Command5 "$WAIT_MS" || fail "could not press Command5"
    answer_msgbox && expect_contains "message" "$(escape "$locked")" "$MSGBOX_TEXT"
fi
expect_exit 1
check_files
expect_same_file "the game folder's manifest" "$CASE_DIR/before.manifest" "$game/galaxy.manifest"
expect_same_file "the per-user manifest" "$CASE_DIR/before.manifest" "$user/galaxy.manifest"

finish
