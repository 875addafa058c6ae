#!/usr/bin/env bash
# Missing or empty data files: a message that names the file, and the end.
# usage: galmend-datafiles.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" datafiles
reset_game

# args: case name, file, "missing" or "empty"
datafile_case() {
    local name=$1 file=$2 how=$3
    new_case "$name"
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    rm "$CASE_DIR/$file"
    [[ "$how" == empty ]] && : >"$CASE_DIR/$file"
    start_program
    answer_msgbox && expect_contains "message" "$file" "$MSGBOX_TEXT"
    expect_exit 1
}

datafile_case missing-oldstruct oldstruct.txt missing
datafile_case missing-newstruct newstruct.txt missing
datafile_case missing-targetzarnver targetzarnver.txt missing
datafile_case empty-targetzarnver targetzarnver.txt empty

finish
