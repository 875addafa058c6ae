#!/usr/bin/env bash
# The window on the demo game: find, then fix, with the counters, the lists of names and the
# buttons taking turns; then the two folder buttons move the folder and file lists.
# usage: galmend-interactive.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" interactive
reset_game
install_demo

# Walk order: each subfolder's tree before the folder's own files, the game folder first.
found=$(crlf_join "Deep Reach.galaxy" "Core Worlds.galaxy" "Orion Drift.galaxy" \
    "Twin Suns.galaxy" "Spiral Arm.galaxy" "My First Map.galaxy")$'\r\n'
fixed=$(crlf_join "Deep Reach.galaxy" "Orion Drift.galaxy" "My First Map.galaxy")$'\r\n'

# The counters and lists that no folder button may change.
counters() {
    local name
    for name in Label4 Label6 Label8 Text1 Text2; do
        printf '%s=%s\n' "$name" "$(control_field $name text)"
    done
}

new_case interactive
use_release_data
start_program
if read_window; then
    if press_find 6; then
        expect_eq "Label4 (updated) after find" 0 "$(control_field Label4 text)"
        expect_eq Text1 "$(escape "$found")" "$(control_field Text1 text)"
        expect_same_tree "game folder after find" "$E2E_ROOT/demo/game" "$game" \
            --exclude=Halcyrion.exe
    fi
    if press_until Command2 Command1 30 fix; then
        expect_eq "Label8 (stage) after fix" " 2" "$(control_field Label8 text)"
        expect_eq "Label4 (updated)" " 3" "$(control_field Label4 text)"
        expect_eq "Label6 (found) after fix" 6 "$(control_field Label6 text)"
        expect_eq Text2 "$(escape "$fixed")" "$(control_field Text2 text)"
        expect_eq "Text1 after fix" "$(escape "$found")" "$(control_field Text1 text)"
        expect_eq "Command6 (undo last fix) enabled after fix" 1 "$(control_field Command6 enabled)"
    fi
    # The box that names the backup set comes once the fix is done.
    answer_msgbox && expect_contains "message after the fix" \
        "$(escape "The old galaxies are kept in $USER_APPS\\galmend backups\\")" \
        "$MSGBOX_TEXT" && expect_contains "message after the fix" \
        "; galmend /restore puts them back." "$MSGBOX_TEXT"
    expect_same_tree "game folder" "$E2E_ROOT/demo/expected/game" "$game" \
        --exclude=Halcyrion.exe
    expect_same_tree "per-user folder" "$E2E_ROOT/demo/expected/user" "$user"

    read_window
    before=$(counters)
    wintest click "$PROG_CAPTION" Command4 "$WAIT_MS" || fail "could not press Command4"
    if wait_shown_folder "$(escape "${GAME_FOLDER%\\}")" 10; then
        expect_eq "Dir1 subfolders of the game folder" "Fortrel" \
            "$(printf '%s\n' "$LIST_ITEMS" | tail -n +$((LIST_SELECTED + 2)) | sed 's/^ *//')"
        read_list File1 && expect_eq "File1 in the game folder" \
            "$(printf '%s\n' "Core Worlds.galaxy" "Orion Drift.galaxy" "Twin Suns.galaxy")" \
            "$LIST_ITEMS"
    fi
    wintest click "$PROG_CAPTION" Command5 "$WAIT_MS" || fail "could not press Command5"
    if wait_shown_folder "$(escape "$USER_GAME_FOLDER")" 10; then
        expect_eq "Dir1 subfolders of the per-user folder" "maps" \
            "$(printf '%s\n' "$LIST_ITEMS" | tail -n +$((LIST_SELECTED + 2)) | sed 's/^ *//')"
        read_list File1 && expect_eq "File1 in the per-user folder" "My First Map.galaxy" \
            "$LIST_ITEMS"
    fi
    read_window && expect_eq "counters and lists after the folder buttons" "$before" "$(counters)"
    expect_same_tree "game folder after the folder buttons" "$E2E_ROOT/demo/expected/game" \
        "$game" --exclude=Halcyrion.exe
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0
# The window says it all: a run with it writes nothing to the console.
expect_report

finish
