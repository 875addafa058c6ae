#!/usr/bin/env bash
# "tallyhold /check" says what "tallyhold /s" would remove and write, and changes nothing: not
# a byte, not a modification time, no backup set, and never a message box. The manifests it
# names are those the silent run then removes; after that run it finds nothing to do, until a
# galaxy is added. Manifests the run could not remove are each named; an argument beside it
# and the version gate end it with their text on the console.
# usage: tallyhold-check.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" check

manifest="$GAME_FOLDER\\galaxy.manifest"

# Every file named galaxy.manifest in any letter case below both folders, as Windows paths in
# sorted order.
manifests() {
    local path
    while IFS= read -r path; do
        case $path in
            "$game"/*) path=$GAME_FOLDER/${path#"$game"/} ;;
            "$user"/*) path=$USER_GAME_FOLDER/${path#"$user"/} ;;
        esac
        printf '%s\n' "${path//\//\\}"
    done < <(find "$game" "$user" -iname galaxy.manifest) | LC_ALL=C sort
}

# Six galaxies in both folders and a manifest in each of them and in a subfolder of each.
plant() {
    plant_galaxies
    for file in "$game/galaxy.manifest" "$game/maps/galaxy.manifest" "$user/GALAXY.MANIFEST" \
        "$user/mine/galaxy.manifest"; do
        manifest_text "before" >"$file"
    done
    manifest_text "kept" >"$game/Fortrel/galaxy.manifest.old"
}

# ---- planted manifests -----------------------------------------------------------------------

new_case planted
plant
use_release_data
run_unchanged 4 /check
# The game folder's own is replaced, not removed; the others in the walk's order.
removed=("$GAME_FOLDER\\maps\\galaxy.manifest" "$USER_GAME_FOLDER\\mine\\galaxy.manifest"
    "$USER_GAME_FOLDER\\GALAXY.MANIFEST")
expect_report "${removed[@]/#/Would remove }" "Would write $manifest with 6 galaxies" \
    "$(ended_line 4)"
expect_eq "the manifests the check would remove: all but the game folder's own" \
    "$(manifests | grep -vxF "$manifest")" \
    "$(program_report | sed -n 's/^Would remove //p' | LC_ALL=C sort)"
start_program /s
expect_exit 0 60
expect_report "Wrote $manifest with 6 galaxies; 4 earlier manifests were removed." \
    "$(ended_line 0)"
expect_eq "manifests left" "$manifest" "$(manifests)"
run_unchanged 0 /check
expect_report "Would write $manifest with 6 galaxies" "$(ended_line 0)"

# Another galaxy: the manifest would change, though no other manifest is there.
crlf_file "$user/mine/Omega.galaxy" "zarn galaxy" "version 4"
run_unchanged 4 /check
expect_report "Would write $manifest with 7 galaxies" "$(ended_line 4)"

# No manifest at all: the run would write one.
new_case none
reset_game
crlf_file "$game/Zeta.galaxy" "zarn galaxy" "version 4"
use_release_data
run_unchanged 4 /check
expect_report "Would write $manifest with 1 galaxy" "$(ended_line 4)"

# ---- manifests the run could not remove -------------------------------------------------------

new_case read-only
plant
set_readonly "$GAME_FOLDER\\maps\\galaxy.manifest"
set_readonly "$USER_GAME_FOLDER\\mine\\galaxy.manifest"
use_release_data
run_unchanged 1 /check
left=("Cannot delete $GAME_FOLDER\\maps\\galaxy.manifest" "The file is read-only."
    "Cannot delete $USER_GAME_FOLDER\\mine\\galaxy.manifest" "The file is read-only.")
expect_report "Would remove $USER_GAME_FOLDER\\GALAXY.MANIFEST" \
    "Would write $manifest with 6 galaxies" \
    "Would write $manifest, but 2 earlier manifests could not be removed:" "${left[@]}" \
    "$(ended_line 1)"
# The silent run says the same of them, having written the manifest.
start_program /s
answer_msgbox && expect_eq "the silent run's message" "$(escape "$(crlf_join \
    "Wrote $manifest, but 2 earlier manifests could not be removed:" "${left[@]}")")" \
    "$MSGBOX_TEXT"
expect_exit 1

# ---- the command line and the version gate ---------------------------------------------------

new_case arguments
plant
use_release_data
argument_case 3 "Invalid argument: /s" /check /s
# As with "/restore": the piece after the first that differs from it.
argument_case 3 "Invalid argument: /check" /s /check
argument_case 3 "Invalid argument: foo" -check foo
argument_case 4 "Would remove $GAME_FOLDER\\maps\\galaxy.manifest" -CHECK
argument_case 4 "Would remove $GAME_FOLDER\\maps\\galaxy.manifest" /Check

write_program_data "$CASE_DIR" 1.52.0.4
run_unchanged 2 /check
expect_report "found zarn version :$GAME_VERSION:" " need zarn version :1.52.0.4:" \
    "in the default location of" "$GAME_FOLDER\\" "$(ended_line 2)"

finish
