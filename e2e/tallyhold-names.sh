#!/usr/bin/env bash
# tallyhold where names and paths leave the ANSI code page and the classic path length: the
# manifest, written in code page 1252, leaves out the galaxies it has no exact form for and
# says so; a name in the code page is written in its bytes; a profile folder named in
# Chinese and a tree far deeper than 260 characters are walked like any other.
# usage: tallyhold-names.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" names

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy

# The message telling which galaxies the manifest leaves out: leftout_message <manifest>
# <galaxy path>...
leftout_message() {
    local manifest=$1 galaxies="galaxies"
    shift
    (($# == 1)) && galaxies="galaxy"
    escape "$(crlf_join "$manifest leaves out $# $galaxies: the game reads the manifest in the\
 system's ANSI code page, which has no exact form of these names. Rename them to play them." "$@")"
}

# A galaxy below a folder named outside the code page is as far out of the game's reach as one
# named so.
new_case names-outside-the-code-page
reset_game
mkdir -p "$user/地图"
cp "$old" "$game/星系.galaxy"
cp "$old" "$user/地图/x.galaxy"
cp "$old" "$game/Alpha.galaxy"
use_release_data
start_program /s
# Silent, and still the run waits until the player has read this.
answer_msgbox && expect_eq "message" "$(leftout_message "$GAME_FOLDER\\galaxy.manifest" \
    "$GAME_FOLDER\\星系.galaxy" "$USER_GAME_FOLDER\\地图\\x.galaxy")" "$MSGBOX_TEXT"
expect_exit 0 30
# What the message says reaches a script too.
expect_report "Wrote $GAME_FOLDER\\galaxy.manifest with 1 galaxy; 0 earlier manifests were removed." \
    "$GAME_FOLDER\\galaxy.manifest leaves out 2 galaxies: the game reads the manifest in the\
 system's ANSI code page, which has no exact form of these names. Rename them to play them." \
    "$GAME_FOLDER\\星系.galaxy" "$USER_GAME_FOLDER\\地图\\x.galaxy" "$(ended_line 0)"
expect_manifest "the new manifest" "$game/galaxy.manifest" "Alpha"
expect_no_temporaries "$game" "$user"

# "Ł" has no form in code page 1252; a best fit would make it "L", a name the game would not
# find.
new_case no-best-fit
reset_game
cp "$old" "$game/Łódź.galaxy"
cp "$old" "$game/Lodz.galaxy"
use_release_data
start_program /s
answer_msgbox && expect_eq "message" \
    "$(leftout_message "$GAME_FOLDER\\galaxy.manifest" "$GAME_FOLDER\\Łódź.galaxy")" \
    "$MSGBOX_TEXT"
expect_exit 0 30
expect_manifest "the new manifest" "$game/galaxy.manifest" "Lodz"

new_case name-in-the-code-page
reset_game
cp "$old" "$game/Café.galaxy"
use_release_data
expect_quiet_silent_run
# Code page 1252: 0xE9 is "é".
expect_manifest "the new manifest" "$game/galaxy.manifest" $'Caf\xe9'

new_case update-button
reset_game
mkdir -p "$game/Fortrel"
cp "$old" "$game/星系.galaxy"
cp "$old" "$game/Fortrel/Deep Reach.galaxy"
use_release_data
start_program
if read_window; then
    wintest click "$PROG_CAPTION" Command1 "$WAIT_MS" || fail "could not press Command1"
    if wait_control Command2 enabled 1 20; then
        expect_eq Label1 " 2 galaxies found" "$(control_field Label1 text)"
        expect_eq Text1 "$(escape "$(crlf_join "Deep Reach.galaxy" "星系.galaxy")"$'\r\n')" \
            "$(control_field Text1 text)"
        wintest click "$PROG_CAPTION" Command2 "$WAIT_MS" || fail "could not press Command2"
        answer_msgbox && expect_eq "message" \
            "$(leftout_message "$GAME_FOLDER\\Fortrel\\galaxy.manifest" \
                "$GAME_FOLDER\\星系.galaxy")" "$MSGBOX_TEXT"
        wait_control Command1 enabled 1 20 &&
            expect_manifest "the expansion folder's manifest" "$game/Fortrel/galaxy.manifest" \
                "Deep Reach"
    fi
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0
expect_no_temporaries "$game" "$user"

new_case profile-outside-the-code-page
reset_game
use_profile_outside_the_code_page "$old"
elsewhere=$PROFILE_GALAXIES
manifest_text "before" >"$elsewhere/maps/galaxy.manifest"
use_release_data
expect_quiet_silent_run
expect_manifest "the new manifest" "$game/galaxy.manifest" "Far"
expect_absent "the manifest in $PROFILE's per-user folder" "$elsewhere/maps/galaxy.manifest"
expect_no_temporaries "$game" "$elsewhere"
drop_profile_outside_the_code_page

new_case path-beyond-260-characters
reset_game
deep=$(make_deep_folder)
cp "$old" "$(unixpath "$deep")/Bottom.galaxy"
manifest_text "before" >"$(unixpath "$deep")/galaxy.manifest"
cp "$old" "$game/Alpha.galaxy"
use_release_data
expect_quiet_silent_run
# The game folder's subfolders before its own files.
expect_manifest "the new manifest" "$game/galaxy.manifest" "Bottom" "Alpha"
expect_absent "the manifest 60 folders down" "$(unixpath "$deep")/galaxy.manifest"
expect_no_temporaries "$game"

finish
