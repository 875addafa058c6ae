#!/usr/bin/env bash
# "find galaxies" in the window: both galaxy folders are walked, game folder first, and the
# buttons switch.
# usage: galmend-find.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" find
reset_game

mkdir -p "$game/maps/more" "$user/mine"
for file in "$game/One.galaxy" "$game/maps/more/Two.galaxy" "$user/mine/Three.galaxy"; do
    crlf_file "$file" "zarn galaxy" "version 3"
done
# Not galaxies: another extension, and a name that only starts like one.
: >"$game/notes.txt"
: >"$game/Four.galaxy.bak"

new_case find
use_release_data
start_program
if read_window; then
    if press_find 3; then
        found=$(control_field Text1 text)
        expect_contains Text1 'One.galaxy\r\n' "$found"
        expect_contains Text1 'Two.galaxy\r\n' "$found"
        # The per-user folder is walked after the game folder.
        expect_eq "Text1 ends with" 'Three.galaxy\r\n' "${found: -16}"
        expect_not_contains Text1 Four "$found"
    fi
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0

finish
