#!/usr/bin/env bash
# "galmend /check" says what "galmend /s" would rewrite, and changes nothing: not a byte, not a
# modification time, no backup set, no stale temporary file cleaned up, and never a message box.
# On the demo game and on a larger one: the galaxies it names are those the fix then rewrites,
# in the same order, and after the fix it finds nothing to do. Galaxies a fix would fail on are
# each named; an argument beside it and the version gate end it with their text on the console.
# usage: galmend-check.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" check
read_hostenv

old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
current=$E2E_ROOT/demo/expected/game/Orion\ Drift.galaxy
readonly COUNT_TAIL="the others are the game's own or in the new format already"

# The paths of the report's lines that start so: reported <Would rewrite|Rewrote>
reported() { program_report | sed -n "s/^$1 \\([A-Za-z]:\\\\.*\\)\$/\\1/p"; }

# A check with galaxies to rewrite, the fix, and the check after it: check_fix_check <found>
# <path the fix rewrites, in its order>...
check_fix_check() {
    local found=$1 would
    shift
    run_unchanged 4 /check
    expect_report "${@/#/Would rewrite }" "Would rewrite $# of the $found galaxies found; $COUNT_TAIL." \
        "$(ended_line 4)"
    would=$(reported "Would rewrite")
    start_program /s
    expect_exit 0 120
    expect_eq "what the fix rewrote" "$would" "$(reported Rewrote)"
    run_unchanged 0 /check
    expect_report "Would rewrite 0 of the $found galaxies found; $COUNT_TAIL." "$(ended_line 0)"
}

# ---- the demo game ---------------------------------------------------------------------------

new_case demo
reset_game
install_demo
use_release_data
check_fix_check 6 "$GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" "$GAME_FOLDER\\Orion Drift.galaxy" \
    "$USER_GAME_FOLDER\\My First Map.galaxy"
expect_same_tree "game folder after the fix" "$E2E_ROOT/demo/expected/game" "$game" \
    --exclude=Halcyrion.exe
expect_same_tree "per-user folder after the fix" "$E2E_ROOT/demo/expected/user" "$user"

# ---- a larger game: many batches, a name outside the code page, a stale temporary file ------

new_case generated
reset_game
expected=()
for sector in 1 2 3; do
    mkdir -p "$game/sector $sector"
    for map in $(seq -w 1 25); do
        cp "$old" "$game/sector $sector/map $map.galaxy"
        expected+=("$GAME_FOLDER\\sector $sector\\map $map.galaxy")
    done
done
for map in 1 2 3 4 5; do cp "$current" "$game/Current $map.galaxy"; done
cp "$E2E_ROOT/demo/game/Twin Suns.galaxy" "$game/"
mkdir -p "$user/maps"
for map in $(seq -w 1 30); do
    cp "$old" "$user/maps/map $map.galaxy"
    expected+=("$USER_GAME_FOLDER\\maps\\map $map.galaxy")
done
cp "$old" "$user/Nébula Ω.galaxy"
expected+=("$USER_GAME_FOLDER\\Nébula Ω.galaxy")
for map in 1 2 3; do cp "$current" "$user/Mine $map.galaxy"; done
# Left by a run that is gone: a fix cleans it up before it writes beside it, a check does not.
stale=$game/sector\ 1/~galmend-4000000-0.tmp
printf 'half a galaxy' >"$stale"
use_release_data
check_fix_check 115 "${expected[@]}"
expect_absent "the stale temporary file after the fix" "$stale"
expect_same_file "a rewritten galaxy" "$current" "$user/Nébula Ω.galaxy"
expect_no_temporaries "$game" "$user"

# ---- galaxies a fix would fail on -------------------------------------------------------------

new_case failing
reset_game
cp "$old" "$game/A Locked.galaxy"
set_readonly "$GAME_FOLDER\\A Locked.galaxy"
cp "$old" "$game/B Good.galaxy"
printf 'zarn galaxy' >"$game/C Broken.galaxy"
# The last galaxy found fails too: the check still names those staged before it.
printf 'zarn galaxy' >"$user/D Broken.galaxy"
use_release_data
run_unchanged 1 /check
locked=$(crlf_join "Cannot replace $GAME_FOLDER\\A Locked.galaxy" "The file is read-only.")
noversion=" has no version line: a galaxy has at least two lines ended by CR LF."
# A galaxy that cannot be read or converted is named at once, a read-only one when its batch
# would be put in place: only the count and the end have their place.
expect_eq "report, its lines in any order" \
    "$(printf '%s\n' "The galaxy $GAME_FOLDER\\C Broken.galaxy$noversion" \
        "The galaxy $USER_GAME_FOLDER\\D Broken.galaxy$noversion" "${locked//$'\r'/}" \
        "Would rewrite $GAME_FOLDER\\B Good.galaxy" | LC_ALL=C sort)" \
    "$(program_report | head -n -2 | LC_ALL=C sort)"
expect_eq "report, its end" \
    "$(printf '%s\n' "Would rewrite 1 of the 4 galaxies found; $COUNT_TAIL; 3 would fail." \
        "$(ended_line 1)")" "$(program_report | tail -2)"
expect_readonly "the read-only galaxy after the check" "$GAME_FOLDER\\A Locked.galaxy"
# The fix stops at the first of them, with the same words.
start_program /s
answer_msgbox && expect_eq "the fix's message" "$(escape "$locked")" "$MSGBOX_TEXT"
expect_exit 1

# ---- the command line and the version gate ---------------------------------------------------

new_case arguments
reset_game
install_demo
use_release_data
argument_case 3 "Invalid argument: /s" /check /s
# As with "/restore": the piece after the first that differs from it.
argument_case 3 "Invalid argument: /check" /s /check
argument_case 3 "Invalid argument: foo" -check foo
argument_case 4 "Would rewrite $GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" -CHECK
argument_case 4 "Would rewrite $GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" /Check

write_program_data "$CASE_DIR" 1.52.0.4
run_unchanged 2 /check
localapps=${HOSTENV[LOCALAPPDATA]-}
expect_report "found zarn version :$GAME_VERSION:" " need zarn version :1.52.0.4:" \
    "in the default location of" "$GAME_FOLDER\\" "local apps is" "$localapps:" \
    "and the zarn user directory is" "$localapps\\Corvatek\\Halcyrion\\" "$(ended_line 2)"

finish
