#!/usr/bin/env bash
# "tallyhold /s" never deletes through a link: a manifest that is a link to a file outside
# both folders is left, named, and the run fails; galaxies named like devices, and a folder
# "maps." beside "maps", are listed once each like any other.
# usage: tallyhold-outside.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" outside

game=$(unixpath "$GAME_FOLDER")
user=$(unixpath "$USER_GAME_FOLDER")

# The Windows path of a Unix file outside the prefix's drives: Wine's Z: is the host's root.
windows_of() {
    local path
    path=$(realpath "$1")
    printf 'Z:%s' "${path//\//\\}"
}

new_case manifest-link
reset_game
crlf_file "$game/Alpha.galaxy" "zarn galaxy" "version 4"
manifest_text "game" >"$game/galaxy.manifest"
printf 'outside\n' >"$CASE_DIR/outside.txt"
ln -s "$CASE_DIR/outside.txt" "$user/galaxy.manifest"
printf 'my notes\n' >"$game/~ZARN12.TMP"
use_release_data
start_program /s
link="left $USER_GAME_FOLDER\\galaxy.manifest alone: it is a link to $(windows_of "$CASE_DIR/outside.txt")"
answer_msgbox && expect_eq "message" "$(escape "$link")" "$MSGBOX_TEXT"
expect_exit 1 30
expect_report "Wrote $GAME_FOLDER\\galaxy.manifest with 1 galaxy; 1 earlier manifest was removed." \
    "$link" "$(ended_line 1)"
expect_file_text "the file outside that the manifest link leads to" $'outside\n' \
    "$CASE_DIR/outside.txt"
[[ -L "$user/galaxy.manifest" ]] && say "ok   the manifest link is left" ||
    fail "the manifest link is gone"
expect_manifest "the new manifest" "$game/galaxy.manifest" "Alpha"
expect_file_text "the player's ~ZARN12.TMP" $'my notes\n' "$game/~ZARN12.TMP"

new_case device-names-and-dotted-folders
reset_game
mkdir -p "$game/maps" "$game/maps."
for galaxy in nul.galaxy CON.galaxy maps/a.galaxy maps./b.galaxy; do
    crlf_file "$game/$galaxy" "zarn galaxy" "version 4"
done
use_release_data
start_program /s
expect_exit 0 60
expect_report "Wrote $GAME_FOLDER\\galaxy.manifest with 4 galaxies; 0 earlier manifests were removed." \
    "$(ended_line 0)"
expect_manifest "the new manifest" "$game/galaxy.manifest" "a" "b" "CON" "nul"
expect_no_temporaries "$game" "$user"

finish
