#!/usr/bin/env bash
# "tallyhold /s": every manifest below both galaxy folders removed, then one new manifest in
# the game folder listing every galaxy in walk order; the ".old" files stay as they were.
# usage: tallyhold-silent.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" silent

# Every file named galaxy.manifest in any letter case below both folders.
manifests() {
    (cd "$WINEPREFIX/drive_c" && find Games "${user#*/drive_c/}" -iname galaxy.manifest | sort)
}

new_case galaxies
plant_galaxies
: >"$game/maps/notes.txt"
for file in "$game/galaxy.manifest" "$game/Fortrel/galaxy.manifest" "$user/GALAXY.MANIFEST" \
    "$user/mine/galaxy.manifest"; do
    manifest_text "before" >"$file"
done
manifest_text "kept" "in Fortrel" >"$game/Fortrel/galaxy.manifest.old"
manifest_text "kept" "per user" >"$user/galaxy.manifest.old"
cp "$game/Fortrel/galaxy.manifest.old" "$CASE_DIR/fortrel.old"
cp "$user/galaxy.manifest.old" "$CASE_DIR/user.old"
use_release_data
start_program /s
expect_exit 0 60
expect_report "Wrote $GAME_FOLDER\\galaxy.manifest with 6 galaxies; 4 earlier manifests were removed." \
    "$(ended_line 0)"
expect_eq "manifests left" "Games/Zarn/galaxy.manifest" "$(manifests)"
# Each subfolder's tree before the folder's own files, names in order without letter case;
# the game folder first.
expect_manifest "the new manifest" "$game/galaxy.manifest" \
    "Deep Reach" "Beta Map" "alpha" "Zeta" "Gamma" "My Map"
expect_absent "galaxy.manifest.old in the game folder" "$game/galaxy.manifest.old"
expect_same_file "Fortrel's galaxy.manifest.old" "$CASE_DIR/fortrel.old" \
    "$game/Fortrel/galaxy.manifest.old"
expect_same_file "the per-user galaxy.manifest.old" "$CASE_DIR/user.old" \
    "$user/galaxy.manifest.old"
expect_no_temporaries "$game" "$user"

new_case no-galaxies
reset_game
use_release_data
start_program /s
expect_exit 0 60
expect_manifest "the new manifest" "$game/galaxy.manifest"
expect_no_temporaries "$game" "$user"

finish
