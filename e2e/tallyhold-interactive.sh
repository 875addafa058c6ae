#!/usr/bin/env bash
# The window: find, then update into the expansion folder, with the buttons taking turns; a
# second update keeps the first manifest as galaxy.manifest.old, a third one fails and changes
# nothing; a removal between a find and an update.
# usage: tallyhold-interactive.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" interactive

expansion=$game/Fortrel
galaxy() { crlf_file "$1" "zarn galaxy" "version 4"; }

# Presses find and checks the buttons and the count: press_find <count>
press_find() {
    press_until Command1 Command2 20 find || return 1
    expect_eq Label1 " $1 galaxies found" "$(control_field Label1 text)"
}

press_update() { press_until Command2 Command1 20 update; }

new_case find-and-update
reset_game
mkdir -p "$expansion"
galaxy "$game/Alpha.galaxy"
galaxy "$expansion/Deep Reach.galaxy"
galaxy "$user/Mine.galaxy"
first=$(crlf_join "Deep Reach.galaxy" "Alpha.galaxy" "Mine.galaxy")$'\r\n'
use_release_data
start_program
if read_window && press_find 3; then
    expect_eq Text1 "$(escape "$first")" "$(control_field Text1 text)"
    if press_update; then
        expect_manifest "the expansion folder's manifest" "$expansion/galaxy.manifest" \
            "Deep Reach" "Alpha" "Mine"
        expect_absent "galaxy.manifest.old after the first update" \
            "$expansion/galaxy.manifest.old"
        expect_absent "a manifest in the game folder" "$game/galaxy.manifest"
        cp "$expansion/galaxy.manifest" "$CASE_DIR/first.manifest"
    fi

    # "show zarn location" moves only the folder and file lists.
    wintest click "$PROG_CAPTION" Command4 "$WAIT_MS" || fail "could not press Command4"
    if wait_shown_folder "$(escape "$GAME_FOLDER")" 10; then
        read_list File1 && expect_eq "File1 in the game folder" "Alpha.galaxy" "$LIST_ITEMS"
    fi

    galaxy "$user/Second.galaxy"
    if press_find 4; then
        second=$(crlf_join "Deep Reach.galaxy" "Alpha.galaxy" "Mine.galaxy" \
            "Second.galaxy")$'\r\n'
        expect_eq "Text1 after the second find" "$(escape "$first$second")" \
            "$(control_field Text1 text)"
    fi
    if press_update; then
        expect_same_file "galaxy.manifest.old after the second update" "$CASE_DIR/first.manifest" \
            "$expansion/galaxy.manifest.old"
        expect_manifest "the manifest after the second update" "$expansion/galaxy.manifest" \
            "Deep Reach" "Alpha" "Mine" "Second"
        cp "$expansion/galaxy.manifest" "$CASE_DIR/second.manifest"
    fi

    # Both files present: the update fails and leaves them as they are.
    galaxy "$user/Third.galaxy"
    if press_find 5; then
        wintest click "$PROG_CAPTION" Command2 "$WAIT_MS" || fail "could not press Command2"
        answer_msgbox && expect_contains "message" \
            "$(escape "$GAME_FOLDER\\Fortrel\\galaxy.manifest")" "$MSGBOX_TEXT"
    fi
fi
expect_exit 1
# A failure in a run with the window is told in the window only.
expect_report
expect_same_file "galaxy.manifest after the failed update" "$CASE_DIR/second.manifest" \
    "$expansion/galaxy.manifest"
expect_same_file "galaxy.manifest.old after the failed update" "$CASE_DIR/first.manifest" \
    "$expansion/galaxy.manifest.old"
expect_no_temporaries "$game" "$user"

new_case remove-between-find-and-update
reset_game
mkdir -p "$expansion"
galaxy "$game/Alpha.galaxy"
galaxy "$user/Mine.galaxy"
for file in "$game/galaxy.manifest" "$expansion/galaxy.manifest" "$user/galaxy.manifest"; do
    manifest_text "before" >"$file"
done
use_release_data
start_program
if read_window && press_find 2; then
    wintest click "$PROG_CAPTION" Command5 "$WAIT_MS" || fail "could not press Command5"
    # The per-user folder is walked last, so its manifest is the last one deleted.
    if wait_control Text2 text "$(escape "killing $USER_GAME_FOLDER\\galaxy.manifest")" 20; then
        expect_eq "Command2 enabled after the removal" 1 "$(control_field Command2 enabled)"
        expect_eq "Command1 enabled after the removal" 0 "$(control_field Command1 enabled)"
        expect_eq "Label1 after the removal" " 2 galaxies found" "$(control_field Label1 text)"
        for file in "$game/galaxy.manifest" "$expansion/galaxy.manifest" \
            "$user/galaxy.manifest"; do
            expect_absent "after the removal" "$file"
        done
    fi
    # The update writes the earlier search's names, and there is nothing to keep as .old.
    if press_update; then
        expect_manifest "the manifest after the removal" "$expansion/galaxy.manifest" \
            "Alpha" "Mine"
        expect_absent "galaxy.manifest.old" "$expansion/galaxy.manifest.old"
    fi
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0
expect_no_temporaries "$game" "$user"

finish
