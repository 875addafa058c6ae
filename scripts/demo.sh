#!/usr/bin/env bash
# The main job on the demo game: builds the 64-bit programs, installs them and the demo game
# into a fresh Wine prefix, runs "galmend /s" and shows what it rewrote, then runs
# "tallyhold /s" and prints the manifest it wrote. Last it opens galmend's window, finds the
# galaxies again and saves a screenshot, whose path it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/deps.sh
zarn_ensure_packages "${zarn_build_packages[@]}" "${zarn_wine_packages[@]}"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target galmend tallyhold wintest Halcyrion >/dev/null

export E2E_WORK=$root/build/demo
rm -rf "$E2E_WORK"
source e2e/lib.sh
set +eu
begin galmend 64 64 demo >/dev/null
reset_game

game=$(unixpath "$GAME_FOLDER")
userfolder=$(unixpath "$USER_GAME_FOLDER")
install_demo
before=$E2E_WORK/before
mkdir -p "$before"
cp -r "$game" "$before/game"
cp -r "$userfolder" "$before/user"

new_case silent >/dev/null
use_release_data
echo "Running galmend /s on the demo game in $WINEPREFIX"
start_program /s
wait_program 60 >/dev/null
echo "galmend ended with exit code $PROG_RC"

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
    <(tr -d '\r' <"$game/Orion Drift.galaxy") || true

if diff -r "$game" demo/expected/game --exclude=Halcyrion.exe >/dev/null &&
    diff -r "$userfolder" demo/expected/user >/dev/null; then
    echo
    echo "Every galaxy now equals demo/expected byte for byte."
else
    echo
    echo "The galaxies differ from demo/expected."
    exit 1
fi

# A manifest left from an earlier run: tallyhold removes it before it writes the new one.
printf 'TXT\r\nfileCount  1 \r\nfileName "Old Map"\r\n\r\n' >"$game/Fortrel/galaxy.manifest"
galmendexe=$PROG_EXE
source e2e/program-tallyhold.sh
PROG_EXE=$E2E_BUILD64/$PROG_EXE_REL
take_program_copy
new_case tallyhold >/dev/null
use_release_data
echo
echo "Running tallyhold /s on the demo game"
start_program /s
wait_program 60 >/dev/null
echo "tallyhold ended with exit code $PROG_RC"
[[ -f "$game/Fortrel/galaxy.manifest" ]] && echo "  the old manifest in Fortrel is still there" ||
    echo "  removed the old manifest in Fortrel"
echo "The manifest it wrote, $GAME_FOLDER\galaxy.manifest (line ends shown as \r):"
sed 's/\r$/\\r/' "$game/galaxy.manifest" | sed 's/^/  | /'

source e2e/program-galmend.sh
PROG_EXE=$galmendexe
take_program_copy
new_case window >/dev/null
use_release_data
start_program
if read_window >/dev/null; then
    wintest click "$PROG_CAPTION" Command1 "$WAIT_MS" >/dev/null
    sleep 2
    shot=$E2E_WORK/galmend-window.png
    import -window root "$shot"
    echo
    echo "Screenshot of the window after \"find galaxies\": $shot"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS" >/dev/null
fi
wait_program 20 >/dev/null
