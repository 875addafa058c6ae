#!/usr/bin/env bash
# "galmend /s" on the demo game: every old galaxy rewritten in place, the game's own map and
# the current galaxies untouched down to their modification times, nothing left behind.
# usage: galmend-silent.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" silent
reset_game
install_demo

untouched=("$game/Twin Suns.galaxy" "$game/Core Worlds.galaxy" "$user/maps/Spiral Arm.galaxy")
# A time long past, so that a rewrite with the very same bytes would still show.
touch -d '2021-03-04 05:06:07.123456789' "${untouched[@]}"
declare -A before
for file in "${untouched[@]}"; do before[$file]=$(mtime "$file"); done

new_case silent
use_release_data
start_program /s
# A message box would hold the program until the wait runs out.
expect_exit 0 60
expect_report "Rewrote $GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" \
    "Rewrote $GAME_FOLDER\\Orion Drift.galaxy" \
    "Rewrote $USER_GAME_FOLDER\\My First Map.galaxy" \
    "Rewrote 3 of the 6 galaxies found; the others are the game's own or in the new format already." \
    "$(kept_line)" "$(ended_line 0)"
expect_same_tree "game folder" "$E2E_ROOT/demo/expected/game" "$game" --exclude=Halcyrion.exe
expect_same_tree "per-user folder" "$E2E_ROOT/demo/expected/user" "$user"
for file in "${untouched[@]}"; do
    expect_eq "modification time of ${file##*/}" "${before[$file]}" "$(mtime "$file")"
done
expect_no_temporaries "$game" "$user"

# Without a display the window cannot be made: a silent run still says so, and how it ended,
# to the console it was started from.
new_case nodisplay
use_release_data
(cd "$CASE_DIR" && exec env -u DISPLAY timeout -k 5 "$RUN_TIMEOUT" "${WINE_EXE[@]}" \
    "$(basename "$PROG_EXE")" /s) >"$CASE_DIR/program.out" 2>/dev/null
expect_eq "exit code without a display" 1 "$?"
expect_report_ends "Cannot create the window" 1

finish
