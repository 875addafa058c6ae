#!/usr/bin/env bash
# The window's controls stand where the layout table puts them, at the display's DPI.
# usage: galmend-layout.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" layout
reset_game

# args: DPI (empty: Wine's default, 96)
layout_case() {
    new_case "layout-${1:-default}dpi"
    set_dpi "$1"
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    start_program
    if read_window; then
        wintest layout "$PROG_CAPTION" "$WAIT_MS" || fail "the layout check found differences"
        # For a person looking into a failure.
        command -v import >/dev/null && timeout 20 import -window root "$CASE_DIR/screen.png"
        wintest close "$PROG_CAPTION" "$WAIT_MS"
    fi
    expect_exit 0
}

layout_case ""
layout_case 144
set_dpi ""

finish
