#!/usr/bin/env bash
# The "winver" label follows the Windows version the prefix presents.
# usage: galmend-winver.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" winver
reset_game

# args: Wine's version name (empty: the prefix's default), the label expected
winver_case() {
    local version=$1 expected=$2
    new_case "winver-${version:-default}"
    set_winver "$version"
    write_program_data "$CASE_DIR" "$GAME_VERSION"
    start_program
    if read_window; then
        local label
        label=$(control_field Label15 text)
        say "winver setting=${version:-default} label=[$label]"
        expect_eq "Label15 for ${version:-default}" "$expected" "$label"
        wintest close "$PROG_CAPTION" "$WAIT_MS"
    fi
    expect_exit 0
}

# Wine 8.0 presents Windows 7 (6.1) unless told otherwise.
winver_case "" win7
winver_case win7 win7
winver_case winxp WinXP
winver_case winxp64 "WinXP x64 "
winver_case win2k Win2000
winver_case vista WinVista
winver_case win8 "Win7+ x64?"
winver_case win10 "Win7+ x64?"
if ((PREFIX_BITS == 32)); then
    winver_case nt40 "NT 4"
    winver_case win98 98
    winver_case win95 95
    winver_case winme ME
fi
set_winver ""

finish
