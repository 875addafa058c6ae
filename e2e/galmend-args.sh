#!/usr/bin/env bash
# The command line: the silent switches in any letter case, and the refusal of anything else.
# usage: galmend-args.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" args
reset_game

# args: case name, the piece that is refused, the arguments text exactly as typed, and
# "reported" when a silent switch among them asks for the refusal on the console too
invalid_case() {
    local name=$1 piece=$2
    new_case "$name"
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    start_program_raw "$3"
    answer_msgbox && expect_eq "message" "$(escape "Invalid argument: $piece")" "$MSGBOX_TEXT"
    expect_exit 3
    if [[ ${4-} == reported ]]; then
        expect_report "Invalid argument: $piece" "$(ended_line 3)"
    else
        expect_report
    fi
}

invalid_case silent-then-word foo "/s foo" reported
invalid_case word Foo "Foo"
invalid_case doubled-dash --s "--s"
invalid_case switch-with-suffix /ss "/ss"
invalid_case quoted-switch '"/s"' '"/s"'
invalid_case two-blanks "" "/s  /silent" reported

# args: case name, arguments; a silent run ends on its own, without a message box.
silent_case() {
    local name=$1
    shift
    new_case "$name"
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    start_program "$@"
    expect_exit 0
    expect_report "Rewrote 0 of the 0 galaxies found." "$(ended_line 0)"
}

silent_case upper-and-long /S /silent
silent_case dash-forms -s -SILENT

# A silent run walks both galaxy folders; one that is missing is reported, and the run ends.
# A player who never made a map has no per-user folder: it holds no galaxies.
new_case silent-user-folder-missing
write_program_data "$CASE_DIR" "$GAME_VERSION"
rm -rf "$(unixpath "$USER_GAME_FOLDER")"
start_program /s
expect_exit 0
expect_report "Rewrote 0 of the 0 galaxies found." "$(ended_line 0)"

finish
