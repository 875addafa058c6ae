#!/usr/bin/env bash
# The interactive start: host facts, button states, and the two ways to end the program.
# usage: galmend-start.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" start
read_hostenv
reset_game

new_case interactive
use_release_data
start_program
if read_window; then
    expect_eq Label11 "${HOSTENV[PROCESSOR_ARCHITECTURE]-} type" "$(control_field Label11 text)"
    expect_eq Label12 "${HOSTENV[PROCESSOR_IDENTIFIER]-} ID" "$(control_field Label12 text)"
    expect_eq Label13 "${HOSTENV[PROCESSOR_LEVEL]-} Level" "$(control_field Label13 text)"
    expect_eq Label14 "${HOSTENV[PROCESSOR_REVISION]-} revision" "$(control_field Label14 text)"
    expect_eq Label17 "${HOSTENV[NUMBER_OF_PROCESSORS]-} cores" "$(control_field Label17 text)"
    expect_eq Label18 "${HOSTENV[OS]-} O.S." "$(control_field Label18 text)"
    expect_eq Label16 "$PREFIX_BITS bit" "$(control_field Label16 text)"
    expect_eq "Command1 enabled" 1 "$(control_field Command1 enabled)"
    expect_eq "Command2 enabled" 0 "$(control_field Command2 enabled)"
    for button in Command3 Command4 Command5; do
        expect_eq "$button enabled" 1 "$(control_field $button enabled)"
    done
    expect_eq "Label19 visible" 0 "$(control_field Label19 visible)"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS" || fail "could not press Command3"
fi
expect_exit 0
wintest gone "$PROG_CAPTION" 2000 || fail "the window outlived the program"

new_case close-window
use_release_data
start_program
read_window && { wintest close "$PROG_CAPTION" "$WAIT_MS" || fail "could not close the window"; }
expect_exit 0

finish
