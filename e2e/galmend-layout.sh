#!/usr/bin/env bash
# The window's controls stand where the layout table puts them, at the display's DPI.
# usage: galmend-layout.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" layout
reset_game

new_case layout-96dpi
write_program_data "$CASE_DIR" "$GAME_VERSION"
start_program
if read_window; then
    wintest layout "$PROG_CAPTION" "$WAIT_MS" || fail "the layout check found differences"
    wintest close "$PROG_CAPTION" "$WAIT_MS"
fi
expect_exit 0

finish
