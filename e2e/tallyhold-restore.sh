#!/usr/bin/env bash
# "tallyhold /restore" and the window's "undo last change" put back the manifests a change
# removed or replaced, and take away what it wrote where there was nothing: after a silent run
# that replaced the game folder's manifest or created it, around manifests the player wrote
# since, and after an update into the expansion folder from the window.
# usage: tallyhold-restore.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
begin tallyhold "$1" "$2" restore

# shellcheck source=restore-helpers.sh
source "$E2E_DIR/restore-helpers.sh"

galaxy() { crlf_file "$1" "zarn galaxy" "version 4"; }

# The manifests a silent run removes, in the order it meets them: each subfolder's tree before
# the folder's own files, the game folder first. The game folder's own is replaced instead.
readonly REMOVED=("$GAME_FOLDER\\Fortrel\\galaxy.manifest" "$GAME_FOLDER\\maps\\galaxy.manifest"
    "$USER_GAME_FOLDER\\mine\\galaxy.manifest" "$USER_GAME_FOLDER\\GALAXY.MANIFEST")
readonly GAME_MANIFEST="$GAME_FOLDER\\galaxy.manifest"

# Galaxies in both folders and a manifest of its own bytes wherever REMOVED names one, and in
# the game folder too when told, kept in the case's before/: plant_manifests <game's own: 0|1>
plant_manifests() {
    reset_game
    mkdir -p "$game/Fortrel" "$game/maps" "$user/mine"
    galaxy "$game/Alpha.galaxy"
    galaxy "$game/Fortrel/Deep Reach.galaxy"
    galaxy "$user/mine/Gamma.galaxy"
    local path
    for path in "${REMOVED[@]}"; do manifest_text "kept in $path" >"$(unixpath "$path")"; done
    (($1)) && manifest_text "the game folder's own" >"$game/galaxy.manifest"
    keep_before
    use_release_data
}

# The one backup set there is, named for its change's start and run: sets SET_NAME.
find_set() {
    local named='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}-[0-9]{2}-[0-9]{2} run [0-9]+\.zip$'
    SET_NAME=$(ls "$BACKUPS_DIR" 2>/dev/null)
    [[ "$SET_NAME" =~ $named ]] ||
        fail "the backup sets [$SET_NAME] are not one named for its change's start and run"
}

# "tallyhold /s", which must end by itself; sets SET_NAME.
change_silently() {
    start_program /s
    expect_exit 0 60
    expect_manifest "the new manifest" "$game/galaxy.manifest" "Deep Reach" "Alpha" "Gamma"
    find_set
}

# ---- a silent change undone ---------------------------------------------------------------------

# The game folder's manifest replaced, or written where there was none: the one a restore puts
# back, the other it takes away.
for own in 1 0; do
    if ((own)); then
        new_case silent-then-restore-replaced
    else
        new_case silent-then-restore-created
    fi
    plant_manifests "$own"
    change_silently
    start_program /restore
    expect_exit 0 60
    if ((own)); then
        expect_report "$(restored_lines "${REMOVED[@]}" "$GAME_MANIFEST")" \
            "Restored 5 of the 5 manifests in $SET_NAME." "$(ended_line 0)"
    else
        expect_report "$(restored_lines "${REMOVED[@]}")" "Removed $GAME_MANIFEST" \
            "Restored 4 of the 4 manifests in $SET_NAME." "$(ended_line 0)"
    fi
    expect_as_before "after /restore"
    [[ -f "$BACKUPS_DIR/${SET_NAME%.zip} restored.zip" ]] ||
        fail "the set was not renamed \"${SET_NAME%.zip} restored.zip\""
done

start_program /restore
expect_exit 0 60
expect_report "There is no backup set to restore in $BACKUPS." "$(ended_line 0)"
expect_as_before "after a second /restore"

# ---- manifests the player wrote after the change ------------------------------------------------

# One where the change removed a manifest, and a line added to the one it wrote: both are left,
# and a box says so.
new_case edited
plant_manifests 1
change_silently
manifest_text "the player's own" >"$user/mine/galaxy.manifest"
printf 'fileName "added by hand"\r\n' >>"$game/galaxy.manifest"
cp "$user/mine/galaxy.manifest" "$CASE_DIR/before/user/mine/galaxy.manifest"
cp "$game/galaxy.manifest" "$CASE_DIR/before/game/galaxy.manifest"
left=("Not restored, changed since the change: ${REMOVED[2]}"
    "Not restored, changed since the change: $GAME_MANIFEST")
start_program /restore
answer_msgbox && expect_eq "message" \
    "$(escape "$(crlf_join "Restored 3 of the 5 manifests in $SET_NAME." "${left[@]}")")" \
    "$MSGBOX_TEXT"
expect_exit 1 60
expect_contains "report" "$(restored_lines "${REMOVED[0]}" "${REMOVED[1]}" "${REMOVED[3]}")" \
    "$(program_report)"
expect_contains "report" "$(printf '%s\n' "${left[@]}")" "$(program_report)"
expect_eq "report, last line" "$(ended_line 1)" "$(program_report | tail -1)"
expect_as_before "but the two the player wrote"

# ---- "undo last change" in the window -----------------------------------------------------------

# An update into the expansion folder keeps its manifest as ".old"; the undo puts it back and
# takes the ".old" away, and the game folder's own stays as it was.
new_case button
reset_game
expansion=$game/Fortrel
mkdir -p "$expansion"
galaxy "$game/Alpha.galaxy"
galaxy "$expansion/Deep Reach.galaxy"
manifest_text "the expansion's own" >"$expansion/galaxy.manifest"
manifest_text "the game folder's own" >"$game/galaxy.manifest"
keep_before
use_release_data
start_program
if read_window; then
    expect_eq "Command6 caption" "undo last change" "$(control_field Command6 text)"
    expect_eq "Command6 (undo last change) enabled before any change" 0 \
        "$(control_field Command6 enabled)"
    if press_until Command1 Command2 20 find && press_until Command2 Command1 20 update; then
        expect_manifest "the expansion folder's new manifest" "$expansion/galaxy.manifest" \
            "Deep Reach" "Alpha"
        expect_same_file "galaxy.manifest.old" "$CASE_DIR/before/game/Fortrel/galaxy.manifest" \
            "$expansion/galaxy.manifest.old"
        find_set
        if wait_control Command6 enabled 1 10; then
            # Kept for a person looking into a failure.
            command -v import >/dev/null && timeout 20 import -window root "$CASE_DIR/screen.png"
            date=${SET_NAME:0:10}\ ${SET_NAME:11:2}:${SET_NAME:14:2}:${SET_NAME:17:2}
            wintest click "$PROG_CAPTION" Command6 "$WAIT_MS" || fail "could not press Command6"
            answer_msgbox yes && expect_eq "question" "$(escape "$(crlf_join \
                "Put back the 1 manifest that the change of $date removed or renamed?" \
                "A manifest changed since that change is left as it is.")")" "$MSGBOX_TEXT"
            answer_msgbox && expect_eq "message" "Restored 1 of the 1 manifest in $SET_NAME." \
                "$MSGBOX_TEXT"
            wait_control Command6 enabled 0 10
            expect_absent "galaxy.manifest.old after the undo" "$expansion/galaxy.manifest.old"
            expect_as_before "after undo last change"
        fi
    fi
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0
# The window says it all: a run with it writes nothing to the console.
expect_report

finish
