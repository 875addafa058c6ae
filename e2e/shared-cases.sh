# Cases that scenarios of both programs run: sourced after lib.sh and begin.
# shellcheck shell=bash

# The window's controls stand where the layout table puts them at a DPI (empty: Wine's
# default, 96); a screenshot of each case is kept for a person looking into a failure.
check_layout() {
    new_case "layout-${1:-default}dpi"
    set_dpi "$1"
    use_release_data
    start_program
    if read_window; then
        wintest layout "$PROG_CAPTION" "$WAIT_MS" || fail "the layout check found differences"
        command -v import >/dev/null && timeout 20 import -window root "$CASE_DIR/screen.png"
        wintest close "$PROG_CAPTION" "$WAIT_MS"
    fi
    expect_exit 0
}

# The gate's refusals that would otherwise let the program loose on a whole drive: a version
# file another program holds, and one whose first line names no version, both with no install
# path in the registry. An old galaxy and a manifest lie outside the game folder, where only a
# walk of the drive finds them, and must stay as they are.
check_gate_refusals() {
    local elsewhere old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
    elsewhere=$(unixpath 'C:\elsewhere')
    # With no install path the game folder is "\": a gate that wrongly opened would walk the
    # whole drive the program was started from, so the cases run from drive C.
    reset_game
    clear_install_path
    rm -rf "$elsewhere"
    mkdir -p "$elsewhere"
    cp "$old" "$elsewhere/x.galaxy"
    # The manifest's reference copy stays off drive C.
    printf 'TXT\r\nfileCount  1 \r\nfileName "x"\r\n\r\n' | tee "$elsewhere/galaxy.manifest" \
        >"$CASES_DIR/elsewhere.manifest"

    new_case_on_c version-file-held
    use_release_data
    # Longer than the retries on a shared file last: the read fails for good.
    if hold_file targetzarnver.txt 8000; then
        start_program /s
        if answer_msgbox; then
            expect_eq "message, first line" \
                'The game version file "targetzarnver.txt" cannot be read.' \
                "$(msgbox_first_line)"
            expect_contains "message, the system's reason" "Sharing violation" "$(msgbox_rest)"
        fi
        expect_exit 1 30
        expect_released
        expect_report_ends 'The game version file "targetzarnver.txt" cannot be read.' 1
    fi
    expect_elsewhere_untouched "$elsewhere" "$old"

    new_case_on_c version-file-first-line-empty
    use_release_data
    crlf_file "$CASE_DIR/targetzarnver.txt" "" "$GAME_VERSION"
    start_program /s
    # No game found and an empty target are two empty texts; they match nothing.
    answer_msgbox && expect_contains "message" "$(escape 'the game was not found at \')" \
        "$MSGBOX_TEXT"
    expect_exit 2
    expect_report_ends 'the game was not found at \' 2
    expect_elsewhere_untouched "$elsewhere" "$old"
    rm -rf "$elsewhere"
}

# args: the folder outside, the old galaxy copied there
expect_elsewhere_untouched() {
    expect_same_file "C:\\elsewhere\\x.galaxy" "$2" "$1/x.galaxy"
    expect_same_file "C:\\elsewhere\\galaxy.manifest" "$CASES_DIR/elsewhere.manifest" \
        "$1/galaxy.manifest"
    expect_no_temporaries "$1"
}
