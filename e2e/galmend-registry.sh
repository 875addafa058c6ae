#!/usr/bin/env bash
# Which registry view the install path is read from: the 32-bit installer's key on 64-bit
# Windows (below Wow6432Node), the plain key on 32-bit Windows, and never the other one.
# usage: galmend-registry.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" registry
reset_game

new_case installer-key
write_program_data "$CASE_DIR" "$GAME_VERSION"
start_program
read_window && wintest close "$PROG_CAPTION" "$WAIT_MS"
expect_exit 0

# An installer may store the path with a variable for the system's drive to expand.
new_case expandable-path
clear_install_path
reg add "$GAME_REGKEY" /v Path /t REG_EXPAND_SZ /d '%SystemDrive%\Games\Zarn' /f /reg:32
write_program_data "$CASE_DIR" "$GAME_VERSION"
start_program
read_window && wintest close "$PROG_CAPTION" "$WAIT_MS"
expect_exit 0
set_install_path

if ((PREFIX_BITS == 64)); then
    other='C:\Games\Other'
    mkdir -p "$(unixpath "$other")"
    cp "$HALCYRION" "$(unixpath "$other")/Halcyrion.exe"

    new_case only-64-bit-view
    clear_install_path
    reg add "$GAME_REGKEY" /v Path /t REG_SZ /d "$other" /f /reg:64
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    start_program
    # Read from the 64-bit view, the path would pass the gate; unread, the folder is "\".
    answer_msgbox && expect_contains "message" 'the game was not found at \\\r\nlocal apps is' \
        "$MSGBOX_TEXT"
    expect_exit 2

    new_case both-views
    set_install_path
    reg add "$GAME_REGKEY" /v Path /t REG_SZ /d 'C:\Games\Nowhere' /f /reg:64
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    start_program
    read_window && wintest close "$PROG_CAPTION" "$WAIT_MS"
    expect_exit 0
fi

finish
