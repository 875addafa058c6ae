#!/usr/bin/env bash
# "tallyhold /s" where the world is less tidy than a fresh install: a version file it cannot
# read or that names no version, a game folder it cannot write to, a folder link back up to an
# ancestor, a player without a per-user folder.
# usage: tallyhold-honest.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
# shellcheck source=shared-cases.sh
source "$E2E_DIR/shared-cases.sh"
begin tallyhold "$1" "$2" honest

games=$(unixpath 'C:\Games')
old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy

# The game folder as a folder no Windows program can write to, though the tests run as root:
# the immutable attribute of its Unix directory. Undone on every way out, so that the prefix
# can be reset.
UNWRITABLE=
make_unwritable() {
    local reason
    if ! reason=$(chattr +i "$1" 2>&1); then
        fail "cannot make $1 unwritable: chattr +i: $reason"
        return 1
    fi
    UNWRITABLE=$1
    if touch "$1/.e2e-probe" 2>/dev/null; then
        rm -f "$1/.e2e-probe"
        make_writable
        fail "cannot make $1 unwritable: the immutable attribute does not stop root here"
        return 1
    fi
    say "made $1 unwritable"
}
make_writable() {
    if [[ -n "$UNWRITABLE" ]]; then chattr -i "$UNWRITABLE"; fi
    UNWRITABLE=
}
trap 'make_writable; cleanup' EXIT
# A run killed outright (SIGKILL) leaves the attribute set, and nothing could reset the prefix.
if [[ -d "$game" ]]; then chattr -i "$game" 2>/dev/null; fi

check_gate_refusals

new_case game-folder-unwritable
reset_game
mkdir -p "$game/Fortrel"
crlf_file "$game/Alpha.galaxy" "zarn galaxy" "version 4"
crlf_file "$game/Fortrel/Deep Reach.galaxy" "zarn galaxy" "version 4"
manifest_text "game" >"$game/galaxy.manifest"
manifest_text "fortrel" >"$game/Fortrel/galaxy.manifest"
manifest_text "per user" >"$user/galaxy.manifest"
cp "$game/galaxy.manifest" "$CASE_DIR/game.manifest"
cp "$game/Fortrel/galaxy.manifest" "$CASE_DIR/fortrel.manifest"
cp "$user/galaxy.manifest" "$CASE_DIR/user.manifest"
use_release_data
if make_unwritable "$game"; then
    start_program /s
    if answer_msgbox; then
        expect_eq "message, first line" \
            "$(escape "Cannot write $GAME_FOLDER\\galaxy.manifest; nothing was changed.")" \
            "$(msgbox_first_line)"
        expect_contains "message, the system's reason" "Access denied" "$(msgbox_rest)"
    fi
    expect_exit 1 30
    expect_report_ends "Cannot write $GAME_FOLDER\\galaxy.manifest; nothing was changed." 1
    make_writable
    # The manifests the run could have removed before failing are the ones that matter.
    expect_same_file "Fortrel's galaxy.manifest" "$CASE_DIR/fortrel.manifest" \
        "$game/Fortrel/galaxy.manifest"
    expect_same_file "the per-user galaxy.manifest" "$CASE_DIR/user.manifest" \
        "$user/galaxy.manifest"
    expect_same_file "the game folder's galaxy.manifest" "$CASE_DIR/game.manifest" \
        "$game/galaxy.manifest"
    expect_no_temporaries "$game" "$user"
fi

new_case folder-links
reset_game
others=$(unixpath 'C:\OtherMaps')
rm -rf "$others"
mkdir -p "$others"
crlf_file "$others/Linked.galaxy" "zarn galaxy" "version 4"
crlf_file "$games/Stray.galaxy" "zarn galaxy" "version 4"
crlf_file "$game/Own.galaxy" "zarn galaxy" "version 4"
manifest_text "above the game folder" >"$games/galaxy.manifest"
cp "$games/galaxy.manifest" "$CASE_DIR/games.manifest"
# C:\Games\Zarn\loop leads back to C:\Games; C:\Games\Zarn\linked to a folder outside.
ln -s .. "$game/loop"
ln -s "$others" "$game/linked"
use_release_data
start_program /s
expect_exit 0 60
expect_manifest "the new manifest" "$game/galaxy.manifest" "Linked" "Own"
expect_same_file "C:\\Games\\galaxy.manifest, above the game folder" "$CASE_DIR/games.manifest" \
    "$games/galaxy.manifest"
expect_no_temporaries "$games" "$others"
rm -rf "$others"

new_case no-per-user-folder
reset_game
: >"$game/~tallyhold-77-3.tmp"
crlf_file "$game/Alpha.galaxy" "zarn galaxy" "version 4"
rm -rf "$user"
use_release_data
start_program /s
expect_exit 0 60
expect_report "Wrote $GAME_FOLDER\\galaxy.manifest with 1 galaxy; 0 earlier manifests were removed." \
    "$(ended_line 0)"
expect_manifest "the new manifest" "$game/galaxy.manifest" "Alpha"
expect_absent "a killed earlier run's ~tallyhold-77-3.tmp" "$game/~tallyhold-77-3.tmp"
expect_absent "the per-user folder" "$user"

finish
