#!/usr/bin/env bash
# "tallyhold /s" never deletes through a link: a manifest that is a link to a file outside
# both folders is left, named, and the run fails; where the link stands in the new manifest's
# place (the game folder's in a silent run, Fortrel's for "update galaxy.manifest") nothing is
# written, and no file of outside comes in as ".old"; galaxies named like devices, and a folder
# "maps." beside "maps", are listed once each like any other.
# usage: tallyhold-outside.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" outside

# The Windows path of a Unix file outside the prefix's drives: Wine's Z: is the host's root.
windows_of() {
    local path
    path=$(realpath "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# The link stays, leading where it led, and the file it leads to stays byte for byte:
# expect_link_left <link> <file outside>
expect_link_left() {
    if [[ -L "$1" && "$(readlink "$1")" == "$2" ]]; then
        say "ok   the manifest link is left, leading to $2"
    else
        fail "the manifest link $1 is gone or leads elsewhere"
    fi
    expect_file_text "the file outside that the manifest link leads to" $'outside\n' "$2"
    if [[ -e "$1.old" || -L "$1.old" ]]; then
        fail "$1.old exists"
    else
        say "ok   no $1.old"
    fi
}

# The message of a write refused because the manifest is a link: refused_lines <Windows path>
# <file outside>, one line each.
refused_lines() {
    say "Cannot write $1; nothing was changed."
    say "$1 is a link to $(windows_of "$2"), which tallyhold leaves alone." \
        "Remove the link, then write the manifest again."
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
expect_link_left "$user/galaxy.manifest" "$CASE_DIR/outside.txt"
expect_manifest "the new manifest" "$game/galaxy.manifest" "Alpha"
expect_file_text "the player's ~ZARN12.TMP" $'my notes\n' "$game/~ZARN12.TMP"

new_case game-manifest-link
reset_game
crlf_file "$game/Alpha.galaxy" "zarn galaxy" "version 4"
manifest_text "user" >"$user/galaxy.manifest"
cp "$user/galaxy.manifest" "$CASE_DIR/user.manifest"
printf 'outside\n' >"$CASE_DIR/outside.txt"
ln -s "$CASE_DIR/outside.txt" "$game/galaxy.manifest"
use_release_data
start_program /s
mapfile -t refused < <(refused_lines "$GAME_FOLDER\\galaxy.manifest" "$CASE_DIR/outside.txt")
answer_msgbox && expect_eq "message" "$(escape "$(crlf_join "${refused[@]}")")" "$MSGBOX_TEXT"
expect_exit 1 30
expect_report "${refused[@]}" "$(ended_line 1)"
expect_link_left "$game/galaxy.manifest" "$CASE_DIR/outside.txt"
expect_same_file "the per-user manifest, not removed" "$CASE_DIR/user.manifest" \
    "$user/galaxy.manifest"
expect_no_temporaries "$game" "$user"

new_case fortrel-manifest-link
reset_game
mkdir -p "$game/Fortrel"
crlf_file "$game/Alpha.galaxy" "zarn galaxy" "version 4"
printf 'outside\n' >"$CASE_DIR/outside.txt"
use_release_data
start_program
if read_window; then
    wintest click "$PROG_CAPTION" Command1 "$WAIT_MS" || fail "could not press Command1"
    if wait_control Command2 enabled 1 20; then
        # Made between the two clicks: the link is asked about when the manifest is written.
        ln -s "$CASE_DIR/outside.txt" "$game/Fortrel/galaxy.manifest"
        wintest click "$PROG_CAPTION" Command2 "$WAIT_MS" || fail "could not press Command2"
        mapfile -t refused < <(refused_lines "$GAME_FOLDER\\Fortrel\\galaxy.manifest" \
            "$CASE_DIR/outside.txt")
        answer_msgbox &&
            expect_eq "message" "$(escape "$(crlf_join "${refused[@]}")")" "$MSGBOX_TEXT"
    fi
fi
expect_exit 1
expect_report
expect_link_left "$game/Fortrel/galaxy.manifest" "$CASE_DIR/outside.txt"
expect_no_temporaries "$game" "$user"

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
