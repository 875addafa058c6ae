#!/usr/bin/env bash
# "tallyhold /s" where Wine shows what Windows would not: names the manifest cannot hold,
# galaxy folders that overlap, and manifests it cannot remove or whose place is a folder. The
# manifest lists each galaxy once, and the game is never left without one.
# usage: tallyhold-reach.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" reach

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy

new_case names-the-manifest-cannot-hold
reset_game
cp "$old" "$game/Alpha.galaxy"
cp "$old" "$game/q\"uote.galaxy"
cp "$old" "$game/line"$'\n'"feed.galaxy"
cp "$old" "$game/cr"$'\r'".galaxy"
use_release_data
start_program /s
answer_msgbox && expect_eq "message" "$(escape "$(crlf_join "$GAME_FOLDER\\galaxy.manifest leaves\
 out 3 galaxies: the manifest cannot hold a name with a double quote (\") or a control character\
 such as a line break. Rename them to play them." "$GAME_FOLDER\\cr\\x0D.galaxy" \
    "$GAME_FOLDER\\line\\x0Afeed.galaxy" "$GAME_FOLDER\\q\"uote.galaxy")")" "$MSGBOX_TEXT"
expect_exit 0 30
expect_manifest "the new manifest" "$game/galaxy.manifest" "Alpha"
expect_eq "report, first line" \
    "Wrote $GAME_FOLDER\\galaxy.manifest with 1 galaxy; 0 earlier manifests were removed." \
    "$(program_report | head -1)"

# The game installed in the per-user folder: both galaxy folders are one.
new_case install-path-is-the-per-user-folder
install_in_user_folder "$old"
expect_quiet_silent_run \
    "Wrote $USER_GAME_FOLDER\\galaxy.manifest with 2 galaxies; 0 earlier manifests were removed."
expect_manifest "the new manifest" "$user/galaxy.manifest" "Beta" "Alpha"

new_case per-user-folder-linked-inside-the-game-folder
reset_game
cp "$old" "$game/Own.galaxy"
cp "$old" "$user/Mine.galaxy"
manifest_text "per user" >"$user/galaxy.manifest"
ln -s "$user" "$game/mine"
use_release_data
expect_quiet_silent_run \
    "Wrote $GAME_FOLDER\\galaxy.manifest with 2 galaxies; 1 earlier manifest was removed."
expect_manifest "the new manifest" "$game/galaxy.manifest" "Mine" "Own"
expect_absent "the per-user manifest" "$user/galaxy.manifest"
rm "$game/mine"

# Another program holds the per-user manifest: the others go, the new one takes its place, and
# the run names the one it could not remove.
new_case per-user-manifest-held
reset_game
mkdir -p "$game/Fortrel"
cp "$old" "$game/Alpha.galaxy"
manifest_text "game" >"$game/galaxy.manifest"
manifest_text "fortrel" >"$game/Fortrel/galaxy.manifest"
manifest_text "per user" >"$user/galaxy.manifest"
cp "$user/galaxy.manifest" "$CASE_DIR/user.manifest"
use_release_data
if hold_file "$USER_GAME_FOLDER\\galaxy.manifest" 15000; then
    start_program /s
    if answer_msgbox; then
        expect_eq "message, first line" "$(escape "Wrote $GAME_FOLDER\\galaxy.manifest, but 1\
 earlier manifest could not be removed:")" "$(msgbox_first_line)"
        expect_contains "message, the manifest held" \
            "$(escape "Cannot delete $USER_GAME_FOLDER\\galaxy.manifest")" "$(msgbox_rest)"
    fi
    expect_exit 1 30
    expect_released
    expect_manifest "the new manifest" "$game/galaxy.manifest" "Alpha"
    expect_absent "Fortrel's manifest" "$game/Fortrel/galaxy.manifest"
    expect_same_file "the per-user manifest" "$CASE_DIR/user.manifest" "$user/galaxy.manifest"
    expect_no_temporaries "$game" "$user"
fi

new_case manifest-place-is-a-folder
reset_game
mkdir -p "$game/galaxy.manifest" "$game/Fortrel"
cp "$old" "$game/Alpha.galaxy"
manifest_text "fortrel" >"$game/Fortrel/galaxy.manifest"
cp "$game/Fortrel/galaxy.manifest" "$CASE_DIR/fortrel.manifest"
use_release_data
start_program /s
answer_msgbox && expect_eq "message" "$(escape "$(crlf_join "Cannot write\
 $GAME_FOLDER\\galaxy.manifest; nothing was changed." "$GAME_FOLDER\\galaxy.manifest is a folder.\
 Remove or rename it, then run again.")")" "$MSGBOX_TEXT"
expect_exit 1 30
expect_same_file "Fortrel's manifest" "$CASE_DIR/fortrel.manifest" "$game/Fortrel/galaxy.manifest"
expect_no_temporaries "$game"

finish
