#!/usr/bin/env bash
# The main job on the demo game: builds the 64-bit programs, installs them and the demo game
# into a fresh Wine prefix, runs "galmend /s" and shows what it rewrote, then runs
# "tallyhold /s" and prints the manifest it wrote. Last it opens galmend's window, finds the
# galaxies again and saves a screenshot, whose path it prints. It uses only the 64-bit
# programs, so it runs on a host that cannot execute 32-bit code too. Every step that fails
# says so, with the tool's own last lines, and the demo then ends with exit code 1.
#
# scripts/demo.sh --zip <release zip>: the same with the programs and the data files a player
# gets, taken from a 64-bit release zip that scripts/release.sh wrote, instead of building them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
zarn_script=demo
zarn_steplog=$root/build/demo-step.log
mkdir -p build
. scripts/steps.sh
zip=
case "${1:-}" in
    "") ;;
    --zip) zip=$(realpath -e "${2:?--zip needs a release zip}") || die "no release zip $2" ;;
    *) die "unknown argument $1 (the only one is --zip <release zip>)" ;;
esac
. scripts/deps.sh
zarn_ensure_packages "${zarn_build_packages[@]}" "${zarn_wine_packages[@]}" unzip ||
    die "installing the Debian packages failed (see apt's lines above)"
step "configuring the 64-bit build" cmake --preset win64
if [[ -n "$zip" ]]; then
    # The test helper and the stand-in game only: the programs are the zip's.
    step "building the test helper and the stand-in game" cmake --build --preset win64 \
        --target wintest Halcyrion
    unpacked=$root/build/demo-zip
    rm -rf "$unpacked"
    step "unpacking $zip" unzip -q "$zip" -d "$unpacked"
    unpacked=$(find "$unpacked" -mindepth 1 -maxdepth 1 -type d)
    for file in galmend.exe tallyhold.exe; do
        [[ -f "$unpacked/$file" ]] || die "$zip holds no $file in its folder"
    done
    export E2E_DATA=$unpacked
else
    step "building the 64-bit programs" cmake --build --preset win64 --target galmend tallyhold \
        wintest Halcyrion
fi

export E2E_WORK=$root/build/demo
rm -rf "$E2E_WORK"
# The library's failures end the script themselves, each with its reason printed.
source e2e/lib.sh
set +e
begin galmend 64 64 demo
if [[ -n "$zip" ]]; then
    PROG_EXE=$unpacked/galmend.exe
    take_program_copy
    echo "Running the programs from $zip"
fi
reset_game

game=$(unixpath "$GAME_FOLDER")
userfolder=$(unixpath "$USER_GAME_FOLDER")
step "installing the demo game into the prefix" install_demo
before=$E2E_WORK/before
step "keeping a copy of the demo game" \
    bash -c 'mkdir -p "$1" && cp -r "$2" "$1/game" && cp -r "$3" "$1/user"' _ \
    "$before" "$game" "$userfolder"

# wait_program leaves PROG_RC; a program that did not end normally shows what Wine said.
expect_ended() {
    local what=$1
    echo "$what ended with exit code $PROG_RC"
    [[ "$PROG_RC" == 0 ]] || die "$what did not end normally; Wine's output:" "$CASE_DIR/program.out"
}

new_case silent >/dev/null
use_release_data
echo "Running galmend /s on the demo game in $WINEPREFIX"
start_program /s
wait_program 60
expect_ended "galmend /s"
echo "What it reported:"
program_report | sed 's/^/  | /'

echo
echo "Galaxies rewritten:"
while IFS= read -r -d '' file; do
    relative=${file#"$before"/}
    case $relative in
        game/*) now=$game/${relative#game/} ;;
        user/*) now=$userfolder/${relative#user/} ;;
    esac
    if cmp -s "$file" "$now"; then
        echo "  unchanged  $relative"
    else
        echo "  rewritten  $relative"
    fi
done < <(find "$before" -name '*.galaxy' -print0 | sort -z)

echo
echo "The changes in game/Orion Drift.galaxy:"
diff -u --label before --label after <(tr -d '\r' <"$before/game/Orion Drift.galaxy") \
    <(tr -d '\r' <"$game/Orion Drift.galaxy")

if diff -r "$game" demo/expected/game --exclude=Halcyrion.exe >"$zarn_steplog" 2>&1 &&
    diff -r "$userfolder" demo/expected/user >>"$zarn_steplog" 2>&1; then
    echo
    echo "Every galaxy now equals demo/expected byte for byte."
else
    die "the galaxies differ from demo/expected:" "$zarn_steplog"
fi

# A manifest left from an earlier run: tallyhold removes it before it writes the new one.
printf 'TXT\r\nfileCount  1 \r\nfileName "Old Map"\r\n\r\n' >"$game/Fortrel/galaxy.manifest"
galmendexe=$PROG_EXE
source e2e/program-tallyhold.sh
PROG_EXE=$E2E_BUILD64/$PROG_EXE_REL
if [[ -n "$zip" ]]; then PROG_EXE=$unpacked/tallyhold.exe; fi
take_program_copy
new_case tallyhold >/dev/null
use_release_data
echo
echo "Running tallyhold /s on the demo game"
start_program /s
wait_program 60
expect_ended "tallyhold /s"
echo "What it reported:"
program_report | sed 's/^/  | /'
if [[ -f "$game/Fortrel/galaxy.manifest" ]]; then
    echo "  the old manifest in Fortrel is still there"
else
    echo "  removed the old manifest in Fortrel"
fi
[[ -f "$game/galaxy.manifest" ]] || die "tallyhold wrote no $GAME_FOLDER\\galaxy.manifest"
echo "The manifest it wrote, $GAME_FOLDER\galaxy.manifest (line ends shown as \r):"
sed 's/\r$/\\r/' "$game/galaxy.manifest" | sed 's/^/  | /'

source e2e/program-galmend.sh
PROG_EXE=$galmendexe
take_program_copy
new_case window >/dev/null
use_release_data
start_program
read_window >/dev/null || die "galmend's window did not appear; Wine's output:" "$CASE_DIR/program.out"
wintest click "$PROG_CAPTION" Command1 "$WAIT_MS" >/dev/null ||
    die "could not press \"find galaxies\""
sleep 2
shot=$E2E_WORK/galmend-window.png
step "taking the screenshot" import -window root "$shot"
wintest click "$PROG_CAPTION" Command3 "$WAIT_MS" >/dev/null || die "could not press \"exit\""
wait_program 20
expect_ended "galmend's window"
echo
echo "Screenshot of the window after \"find galaxies\": $shot"
