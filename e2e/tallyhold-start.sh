#!/usr/bin/env bash
# tallyhold's start: the buttons, the version gate, the command line, exit and the layout.
# usage: tallyhold-start.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
# shellcheck source=shared-cases.sh
source "$E2E_DIR/shared-cases.sh"
begin tallyhold "$1" "$2" start
reset_game


new_case interactive
use_release_data
start_program
if read_window; then
    expect_eq "Command2 enabled" 0 "$(control_field Command2 enabled)"
    for button in Command1 Command3 Command4 Command5; do
        expect_eq "$button enabled" 1 "$(control_field $button enabled)"
    done
    expect_eq Label1 "galaxies found" "$(control_field Label1 text)"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS" || fail "could not press Command3"
fi
expect_exit 0
wintest gone "$PROG_CAPTION" 2000 || fail "the window outlived the program"

# args: case name, arguments
gate_case() {
    local name=$1
    shift
    new_case "$name"
    write_program_data "$CASE_DIR" 1.52.0.4
    start_program "$@"
    if answer_msgbox; then
        expect_eq "message" "$(escape "$(crlf_join "found zarn version :$GAME_VERSION:" \
            " need zarn version :1.52.0.4:" "in the default location of" "$GAME_FOLDER\\")")" \
            "$MSGBOX_TEXT"
        expect_not_contains "windows shown with the message" "caption=$PROG_CAPTION" "$MSGBOX_OUT"
    fi
    expect_exit 2
}

gate_case other-version
# The gate comes before the command line.
gate_case other-version-invalid-argument /s foo

# The silent switch is accepted, then "foo" ends the program before anything is removed.
new_case invalid-argument
use_release_data
crlf_file "$game/galaxy.manifest" "TXT"
start_program_raw "/s foo"
answer_msgbox && expect_eq "message" "Invalid argument: foo" "$MSGBOX_TEXT"
expect_exit 3
expect_file_text "the manifest in the game folder" $'TXT\r\n' "$game/galaxy.manifest"
rm "$game/galaxy.manifest"

new_case close-window
use_release_data
start_program
read_window && { wintest close "$PROG_CAPTION" "$WAIT_MS" || fail "could not close the window"; }
expect_exit 0

check_layout ""
check_layout 144
set_dpi ""

finish
