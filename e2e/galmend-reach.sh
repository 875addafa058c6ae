#!/usr/bin/env bash
# "galmend /s" where the galaxy folders overlap (the game installed in the per-user folder, the
# per-user folder linked inside the game folder, a folder "maps." that Windows reads as "maps"),
# where "newstruct.txt" gives no readable version, and where the list of the game's own maps
# was saved by a text editor.
# usage: galmend-reach.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" reach

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
rewritten=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy

new_case install-path-is-the-per-user-folder
install_in_user_folder "$old"
expect_quiet_silent_run "Rewrote $USER_GAME_FOLDER\\maps\\Beta.galaxy" \
    "Rewrote $USER_GAME_FOLDER\\Alpha.galaxy" "Rewrote 2 of the 2 galaxies found."
expect_same_file "Alpha" "$rewritten" "$user/Alpha.galaxy"
expect_same_file "Beta" "$rewritten" "$user/maps/Beta.galaxy"

new_case per-user-folder-linked-inside-the-game-folder
reset_game
cp "$old" "$game/Own.galaxy"
cp "$old" "$user/Mine.galaxy"
ln -s "$user" "$game/mine"
use_release_data
expect_quiet_silent_run "Rewrote $GAME_FOLDER\\mine\\Mine.galaxy" \
    "Rewrote $GAME_FOLDER\\Own.galaxy" "Rewrote 2 of the 2 galaxies found."
expect_same_file "Mine" "$rewritten" "$user/Mine.galaxy"
rm "$game/mine"

# Windows drops a name's trailing dot: "maps." is opened as "maps".
new_case folder-read-as-another
reset_game
mkdir -p "$user/maps" "$user/maps."
cp "$old" "$user/maps/Gamma.galaxy"
use_release_data
expect_quiet_silent_run "Rewrote $USER_GAME_FOLDER\\maps\\Gamma.galaxy" \
    "Rewrote 1 of the 1 galaxy found."
expect_same_file "Gamma" "$rewritten" "$user/maps/Gamma.galaxy"

new_case new-definition-without-a-readable-version
reset_game
cp "$old" "$game/Alpha.galaxy"
use_release_data
# Two blanks after the version: the version is read from the line's last two characters.
sed -i '2s/\r$/  \r/' "$CASE_DIR/newstruct.txt"
line=$(sed -n '2s/\r$//p' "$CASE_DIR/newstruct.txt")
start_program /s
answer_msgbox && expect_eq "message" "$(escape "The new structure definition \"newstruct.txt\"\
 gives no version above 0 in its version line, line 2: \"$line\". The line must end in the new\
 map format's version, with nothing after it (not even a blank).")" "$MSGBOX_TEXT"
expect_exit 1 30
expect_same_file "Alpha, untouched" "$old" "$game/Alpha.galaxy"

# The list saved by an editor: with a UTF-8 mark and LF ends, or in UTF-16 with its mark. The
# game's own "Twin Suns.galaxy" is an old galaxy that must stay as it is.
for form in utf8-mark-lf utf16; do
    new_case "list-of-own-maps-$form"
    reset_game
    install_demo
    use_release_data
    list="$CASE_DIR/original zarn galaxies.txt"
    if [[ $form == utf16 ]]; then
        tr -d '\r' <"$list" | sed 's/$/\r/' | iconv -f CP1252 -t UTF-16 >"$list.new"
    else
        { printf '\xef\xbb\xbf' && tr -d '\r' <"$list"; } >"$list.new"
    fi
    mv "$list.new" "$list"
    start_program /s
    expect_exit 0 60
    expect_same_file "Twin Suns, the game's own" "$E2E_ROOT/demo/game/Twin Suns.galaxy" \
        "$game/Twin Suns.galaxy"
    expect_not_contains "report" "Twin Suns" "$(program_report)"
done

new_case list-of-own-maps-utf16-without-its-mark
reset_game
install_demo
use_release_data
list="$CASE_DIR/original zarn galaxies.txt"
iconv -f CP1252 -t UTF-16LE <"$list" >"$list.new" && mv "$list.new" "$list"
start_program /s
answer_msgbox && expect_contains "message" "NUL bytes" "$MSGBOX_TEXT"
expect_exit 1 30
expect_same_tree "game folder" "$E2E_ROOT/demo/game" "$game" --exclude=Halcyrion.exe

finish
