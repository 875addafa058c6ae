#!/usr/bin/env bash
# "galmend /s" where names and paths leave the ANSI code page and the classic path length:
# galaxies and folders named in Chinese, a profile folder named in Chinese, a tree far deeper
# than 260 characters, and the game's own map listed in another letter case.
# usage: galmend-names.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" names

game=$(unixpath "$GAME_FOLDER")
user=$(unixpath "$USER_GAME_FOLDER")
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
