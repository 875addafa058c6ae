#!/usr/bin/env bash
# "galmend /s" never reaches outside the game's folders through a link, and takes every name
# as the file it names: a temporary name that is a link to a file outside, a player's own
# "~ZARN12.TMP", a galaxy that is a link, galaxies named like devices, and a folder "maps."
# beside "maps".
# usage: galmend-outside.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" outside

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
new=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy

new_case temporary-names
reset_game
cp "$old" "$game/Alpha.galaxy"
printf 'outside\n' >"$CASE_DIR/outside.txt"
ln -s "$CASE_DIR/outside.txt" "$game/~galmend-12-3.tmp"
printf 'my notes\n' >"$game/~ZARN12.TMP"
: >"$game/~galmend-77-3.tmp"
use_release_data
expect_quiet_silent_run "Rewrote $GAME_FOLDER\\Alpha.galaxy" "Rewrote 1 of the 1 galaxy found."
expect_file_text "the file outside that a temporary name leads to" $'outside\n' \
    "$CASE_DIR/outside.txt"
[[ -L "$game/~galmend-12-3.tmp" ]] && say "ok   the link named like a temporary file is left" ||
    fail "the link named like a temporary file is gone"
expect_file_text "the player's ~ZARN12.TMP" $'my notes\n' "$game/~ZARN12.TMP"
expect_absent "an earlier run's ~galmend-77-3.tmp" "$game/~galmend-77-3.tmp"

# A galaxy that is a link becomes an ordinary file of its own; what it led to is untouched.
new_case galaxy-link
reset_game
cp "$old" "$CASE_DIR/outside.galaxy"
ln -s "$CASE_DIR/outside.galaxy" "$game/Linked.galaxy"
use_release_data
expect_quiet_silent_run "Rewrote $GAME_FOLDER\\Linked.galaxy" "Rewrote 1 of the 1 galaxy found."
expect_same_file "the galaxy outside" "$old" "$CASE_DIR/outside.galaxy"
[[ -L "$game/Linked.galaxy" ]] && fail "Linked.galaxy is still a link" ||
    expect_same_file "Linked.galaxy" "$new" "$game/Linked.galaxy"

new_case device-names-and-dotted-folders
reset_game
mkdir -p "$game/maps" "$game/maps."
cp "$old" "$game/nul.galaxy"
cp "$old" "$game/CON.galaxy"
cp "$old" "$game/maps/a.galaxy"
cp "$old" "$game/maps./b.galaxy"
use_release_data
expect_quiet_silent_run "Rewrote $GAME_FOLDER\\maps\\a.galaxy" \
    "Rewrote $GAME_FOLDER\\maps.\\b.galaxy" "Rewrote $GAME_FOLDER\\CON.galaxy" \
    "Rewrote $GAME_FOLDER\\nul.galaxy" "Rewrote 4 of the 4 galaxies found."
for galaxy in nul.galaxy CON.galaxy maps/a.galaxy maps./b.galaxy; do
    expect_same_file "$galaxy" "$new" "$game/$galaxy"
done
expect_no_temporaries "$game"

finish
