#!/usr/bin/env bash
# "galmend /s" where names and paths leave the ANSI code page and the classic path length:
# galaxies and folders named in Chinese, names Windows forbids (a double quote, a line feed)
# that a Linux folder shown through Wine holds, a profile folder named in Chinese, a tree far
# deeper than 260 characters, and the game's own map listed in another letter case.
# usage: galmend-names.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" names

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
new=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy

new_case names-outside-the-code-page
reset_game
mkdir -p "$user/地图"
cp "$old" "$game/星系.galaxy"
cp "$old" "$user/地图/x.galaxy"
use_release_data
# A script reads the names exactly, in UTF-8.
expect_quiet_silent_run "Rewrote $GAME_FOLDER\\星系.galaxy" \
    "Rewrote $USER_GAME_FOLDER\\地图\\x.galaxy" "Rewrote 2 of the 2 galaxies found."
expect_same_file "$GAME_FOLDER\\星系.galaxy" "$new" "$game/星系.galaxy"
expect_same_file "地图\\x.galaxy in the per-user folder" "$new" "$user/地图/x.galaxy"
expect_no_temporaries "$game" "$user"

# Wine opens such a name only by the short name its folder's listing gives; the galaxy keeps
# its own name.
new_case names-windows-forbids
reset_game
quoted='q"uote.galaxy'
fed=$'line\nfeed.galaxy'
cp "$old" "$game/$quoted"
cp "$old" "$user/$fed"
use_release_data
start_program /s
expect_exit 0 60
report=$(program_report)
expect_eq "report, first line" "Rewrote $GAME_FOLDER\\$quoted" "$(head -1 <<<"$report")"
# A line feed in a report line shows as "\x0A", or, before that, breaks the line.
fedline="Rewrote $USER_GAME_FOLDER\\line"
if [[ "$report" == *"$fedline\\x0Afeed.galaxy"* || "$report" == *"$fedline"$'\n'"feed.galaxy"* ]]
then
    say "ok   report: names the galaxy with a line feed"
else
    fail "report: no line names $USER_GAME_FOLDER\\line<LF>feed.galaxy: [$(escape "$report")]"
fi
expect_contains "report" "Rewrote 2 of the 2 galaxies found." "$report"
expect_eq "report, last line" "$(ended_line 0)" "$(tail -1 <<<"$report")"
expect_same_file "$quoted" "$new" "$game/$quoted"
expect_same_file "line<LF>feed.galaxy in the per-user folder" "$new" "$user/$fed"
expect_eq "the game folder's galaxies" "$quoted" "$(cd "$game" && LC_ALL=C ls -A -- *.galaxy)"
expect_eq "the per-user folder's galaxies" "$fed" "$(cd "$user" && LC_ALL=C ls -A -- *.galaxy)"
expect_no_temporaries "$game" "$user"
# A restore reads them, and replaces them, the same way.
start_program /restore
expect_exit 0 60
expect_contains "report" "Restored 2 of the 2 galaxies in" "$(program_report)"
expect_same_file "$quoted, restored" "$old" "$game/$quoted"
expect_same_file "line<LF>feed.galaxy, restored" "$old" "$user/$fed"
expect_eq "the game folder's galaxies" "$quoted" "$(cd "$game" && LC_ALL=C ls -A -- *.galaxy)"
expect_no_temporaries "$game" "$user"

new_case profile-outside-the-code-page
reset_game
use_profile_outside_the_code_page "$old"
elsewhere=$PROFILE_GALAXIES
use_release_data
expect_quiet_silent_run "Rewrote $PROFILE\\AppData\\Local\\Corvatek\\Halcyrion\\maps\\Far.galaxy" \
    "Rewrote 1 of the 1 galaxy found."
expect_same_file "the galaxy in $PROFILE's per-user folder" "$new" "$elsewhere/maps/Far.galaxy"
expect_same_file "the galaxy in the default per-user folder" "$old" "$user/Stale.galaxy"
expect_no_temporaries "$elsewhere"
drop_profile_outside_the_code_page

new_case path-beyond-260-characters
reset_game
deep=$(make_deep_folder)
cp "$old" "$(unixpath "$deep")/Bottom.galaxy"
use_release_data
expect_quiet_silent_run
expect_same_file "the galaxy 60 folders down" "$new" "$(unixpath "$deep")/Bottom.galaxy"
expect_no_temporaries "$game"

new_case own-map-in-another-letter-case
reset_game
cp "$old" "$game/étoile.galaxy"
# Another name, though it differs only by an accent.
cp "$old" "$game/etoile.galaxy"
use_release_data
# The game's list in code page 1252: 0xC9 is "É".
crlf_file "$CASE_DIR/original zarn galaxies.txt" $'\xc9TOILE.galaxy'
expect_quiet_silent_run
expect_same_file "étoile.galaxy, listed as ÉTOILE.galaxy" "$old" "$game/étoile.galaxy"
expect_same_file "etoile.galaxy" "$new" "$game/etoile.galaxy"
expect_no_temporaries "$game"

finish
