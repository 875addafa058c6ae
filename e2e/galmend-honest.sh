#!/usr/bin/env bash
# "galmend /s" where the world is less tidy than a fresh install: a version file it cannot
# read or that names no version, a galaxy another program holds for a moment, a folder link
# back up to an ancestor, a player without a per-user folder.
# usage: galmend-honest.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
# shellcheck source=shared-cases.sh
source "$E2E_DIR/shared-cases.sh"
begin galmend "$1" "$2" honest

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
new=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy

check_gate_refusals

new_case galaxy-held-briefly
reset_game
install_demo
# A killed earlier run's temporary in a folder the run writes to.
: >"$game/~galmend-77-3.tmp"
use_release_data
# Shorter than the retries on a shared file last: the run waits it out.
if hold_file "$GAME_FOLDER\\Orion Drift.galaxy" 1500; then
    start_program /s
    expect_exit 0 60
    expect_released
    expect_report_ends "Rewrote $GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" 0
fi
expect_absent "the earlier run's ~galmend-77-3.tmp" "$game/~galmend-77-3.tmp"
expect_same_tree "game folder" "$E2E_ROOT/demo/expected/game" "$game" --exclude=Halcyrion.exe
expect_same_tree "per-user folder" "$E2E_ROOT/demo/expected/user" "$user"

new_case folder-links
reset_game
others=$(unixpath 'C:\OtherMaps')
rm -rf "$others"
mkdir -p "$others"
cp "$old" "$others/Linked.galaxy"
cp "$old" "$(unixpath 'C:\Games')/Stray.galaxy"
cp "$old" "$game/Own.galaxy"
# C:\Games\Zarn\loop leads back to C:\Games; C:\Games\Zarn\linked to a folder outside.
ln -s .. "$game/loop"
ln -s "$others" "$game/linked"
use_release_data
start_program /s
expect_exit 0 60
expect_same_file "C:\\Games\\Stray.galaxy, above the game folder" "$old" \
    "$(unixpath 'C:\Games')/Stray.galaxy"
expect_same_file "the galaxy behind the link to C:\\OtherMaps" "$new" "$others/Linked.galaxy"
expect_same_file "the game folder's own galaxy" "$new" "$game/Own.galaxy"
expect_no_temporaries "$(unixpath 'C:\Games')" "$others"
rm -rf "$others"

new_case no-per-user-folder
reset_game
install_demo
rm -rf "$user"
use_release_data
start_program /s
expect_exit 0 60
expect_report "Rewrote $GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" \
    "Rewrote $GAME_FOLDER\\Orion Drift.galaxy" \
    "Rewrote 2 of the 4 galaxies found; the others are the game's own or in the new format already." \
    "$(kept_line)" "$(ended_line 0)"
expect_same_tree "game folder" "$E2E_ROOT/demo/expected/game" "$game" --exclude=Halcyrion.exe
expect_absent "the per-user folder" "$user"

finish
