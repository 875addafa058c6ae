#!/usr/bin/env bash
# The version gate: a game of another version ends the program with the eight-line message,
# before the command line is looked at.
# usage: galmend-gate.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" gate
read_hostenv
reset_game

localapps=${HOSTENV[LOCALAPPDATA]-}
[[ -n "$localapps" ]] || fail "LOCALAPPDATA is not set in the prefix"

gate_message() {
    local found=$1 need=$2 gamefolder=$3
    escape "$(crlf_join "found zarn version :$found:" " need zarn version :$need:" \
        "in the default location of" "$gamefolder" "local apps is" "$localapps:" \
        "and the zarn user directory is" "$localapps\\Corvatek\\Halcyrion\\")"
}

# A folder without the game says so, not that the versions differ.
missing_message() {
    escape "$(crlf_join "the game was not found at $1" "local apps is" "$localapps:" \
        "and the zarn user directory is" "$localapps\\Corvatek\\Halcyrion\\")"
}

# args: case name, target version, expected found version ("-": no game), expected game
# folder, arguments
gate_case() {
    local name=$1 target=$2 found=$3 gamefolder=$4 expected
    shift 4
    new_case "$name"
    write_program_data "$CASE_DIR" "$target"
    start_program "$@"
    if answer_msgbox; then
        expected=$(gate_message "$found" "$target" "$gamefolder")
        [[ "$found" == - ]] && expected=$(missing_message "$gamefolder")
        expect_eq "message" "$expected" "$MSGBOX_TEXT"
        expect_not_contains "windows shown with the message" "caption=$PROG_CAPTION" "$MSGBOX_OUT"
    fi
    expect_exit 2
}

gate_case other-version 1.52.0.4 "$GAME_VERSION" "$GAME_FOLDER\\"
gate_case other-version-silent 1.52.0.4 "$GAME_VERSION" "$GAME_FOLDER\\" /s
# The gate comes first: an invalid argument is never reported.
gate_case other-version-invalid-argument 1.52.0.4 "$GAME_VERSION" "$GAME_FOLDER\\" /s foo
gate_case trailing-blank "$GAME_VERSION " "$GAME_VERSION" "$GAME_FOLDER\\"
gate_case file-version-is-not-product-version 1.52.7.9 "$GAME_VERSION" "$GAME_FOLDER\\"

rm "$(unixpath "$GAME_FOLDER")/Halcyrion.exe"
gate_case game-missing "$GAME_VERSION" - "$GAME_FOLDER\\"

reset_game
clear_install_path
gate_case install-path-missing "$GAME_VERSION" - "\\"

finish
