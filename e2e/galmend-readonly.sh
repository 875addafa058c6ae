#!/usr/bin/env bash
# A read-only galaxy among old ones: the silent run stops there with a message naming it; the
# galaxies before it stay converted, it and those after it keep their old bytes, and its
# read-only flag stays set.
# usage: galmend-readonly.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" readonly
reset_game

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
new=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy
# Walk order: the subfolder first, then the folder's own files in name order.
mkdir -p "$game/sub"
for name in "sub/First.galaxy" "Second.galaxy" "Third Locked.galaxy" "Zulu.galaxy"; do
    cp "$old" "$game/$name"
done
locked="$GAME_FOLDER\\Third Locked.galaxy"
set_readonly "$locked"
expect_readonly "before the run" "$locked"

new_case silent
use_release_data
start_program /s
answer_msgbox && expect_contains "message" "$(escape "$locked")" "$MSGBOX_TEXT"
expect_exit 1
expect_same_file "sub/First.galaxy (converted before)" "$new" "$game/sub/First.galaxy"
expect_same_file "Second.galaxy (converted before)" "$new" "$game/Second.galaxy"
expect_same_file "the read-only galaxy" "$old" "$game/Third Locked.galaxy"
expect_readonly "after the run" "$locked"
expect_same_file "Zulu.galaxy (after the failure)" "$old" "$game/Zulu.galaxy"
expect_no_temporaries "$game" "$(unixpath "$USER_GAME_FOLDER")"

finish
