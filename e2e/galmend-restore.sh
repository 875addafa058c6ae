#!/usr/bin/env bash
# "galmend /restore" and the window's "undo last fix" put back the old bytes a fix rewrote:
# after a whole fix, from a set any zip reader opens, around a galaxy the player changed since,
# from the window, never from a set that names files outside the galaxy folders (by /restore
# and by the window), from the newest run whatever the clock said and before any set from
# before runs were numbered, after the game was updated, and after a fix killed halfway.
# usage: galmend-restore.sh <exe bits> <prefix bits>

# Two thousand galaxies fixed and restored under Wine take a minute or two.
RUN_TIMEOUT=300
source "$(dirname "$0")/lib.sh"
begin galmend "$1" "$2" restore

# shellcheck source=restore-helpers.sh
source "$E2E_DIR/restore-helpers.sh"

# ---- a whole fix undone ------------------------------------------------------------------------

new_case fix-then-restore
install_demo_kept
use_release_data
fix_silently
name=${SET##*\\}
expect_eq "report, the last lines" \
    "$(printf '%s\n' "Rewrote 3 of the 6 galaxies found; the others are the game's own or in the new format already." \
        "The old galaxies are kept in $SET; galmend /restore puts them back." "$(ended_line 0)")" \
    "$(program_report | tail -3)"
[[ "$name" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}-[0-9]{2}-[0-9]{2}\ run\ [0-9]+\.zip$ ]] ||
    fail "the set's name [$name] is not the fix's start time and run"

# Any zip reader opens the set, and finds each galaxy's old bytes under its folder's name.
if [[ -f "$SET_FILE" ]]; then
    python3 -m zipfile -t "$SET_FILE" >"$CASE_DIR/ziptest.out" 2>&1 ||
        fail "python3 -m zipfile -t fails on the set: $(cat "$CASE_DIR/ziptest.out")"
    expect_eq "the set's entries" \
        "$(printf '%s\n' "game/Fortrel/Deep Reach.galaxy" "game/Orion Drift.galaxy" \
            "user/My First Map.galaxy" "galmend/batch 1.txt")" \
        "$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
            "$SET_FILE")"
    python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' \
        "$SET_FILE" "game/Orion Drift.galaxy" >"$CASE_DIR/entry.galaxy"
    expect_same_file "the set's game/Orion Drift.galaxy" "$OLD" "$CASE_DIR/entry.galaxy"
fi

start_program /restore
expect_exit 0 60
expect_report "$(restored_lines "${FIXED[@]}")" "Restored 3 of the 3 galaxies in $name." \
    "$(ended_line 0)"
expect_as_before "after /restore"
expect_absent "the set under its first name" "$SET_FILE"
[[ -f "${SET_FILE%.zip} restored.zip" ]] || fail "the set was not renamed \"${name%.zip} restored.zip\""

start_program /RESTORE
expect_exit 0 60
expect_report "There is no backup set to restore in $BACKUPS." "$(ended_line 0)"
expect_as_before "after a second /restore"

# A restore is a run of its own: with anything else on the command line it does nothing.
start_program /restore /s
answer_msgbox && expect_eq "message" "Invalid argument: /s" "$MSGBOX_TEXT"
expect_exit 3 60
expect_eq "report, last line" "$(ended_line 3)" "$(program_report | tail -1)"

# ---- a galaxy the player changed after the fix --------------------------------------------------

new_case changed-since
install_demo_kept
use_release_data
fix_silently
name=${SET##*\\}
edited=$game/Orion\ Drift.galaxy
printf 'the player was here\r\n' >>"$edited"
cp "$edited" "$CASE_DIR/edited.galaxy"
start_program /restore
left="Not restored, changed since the fix: ${FIXED[1]}"
# A restore that leaves a galaxy says so in a box, and its report gets the box's text too.
answer_msgbox &&
    expect_eq "message" "$(escape "$(crlf_join "Restored 2 of the 3 galaxies in $name." "$left")")" \
        "$MSGBOX_TEXT"
expect_exit 1 60
expect_contains "report" "$(restored_lines "${FIXED[0]}" "${FIXED[2]}")" "$(program_report)"
expect_contains "report" "$left" "$(program_report)"
expect_eq "report, last line" "$(ended_line 1)" "$(program_report | tail -1)"
expect_same_file "the changed galaxy" "$CASE_DIR/edited.galaxy" "$edited"
cp "$CASE_DIR/edited.galaxy" "$CASE_DIR/before/game/Orion Drift.galaxy"
expect_as_before "but the changed galaxy"

# Presses "undo last fix", answers its question about the demo fix whose set is named name
# with yes, and waits for the undo to end: undo_demo_fix <name>
undo_demo_fix() {
    local date=${1:0:10}\ ${1:11:2}:${1:14:2}:${1:17:2}
    wintest click "$PROG_CAPTION" Command6 "$WAIT_MS" || fail "could not press Command6"
    answer_msgbox yes && expect_contains "question" \
        "Put back the old bytes of the 3 galaxies that the fix of $date rewrote?" "$MSGBOX_TEXT"
    answer_msgbox && expect_eq "message" "Restored 3 of the 3 galaxies in $1." "$MSGBOX_TEXT"
    wait_control Command6 enabled 0 10
}

# ---- "undo last fix" in the window ------------------------------------------------------------

new_case window-undo
install_demo_kept
use_release_data
fix_silently
name=${SET##*\\}
start_program
if read_window; then
    expect_eq "Command6 (undo last fix) enabled after a fix" 1 "$(control_field Command6 enabled)"
    undo_demo_fix "$name"
    expect_as_before "after undo last fix"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0
# The window says it all: a run with it writes nothing to the console.
expect_report

# ---- sets that a restore must not follow ---------------------------------------------------

# A set as a fix writes it, each galaxy's record naming a path: craft_set <set file> <run>
# <Windows path> <its Unix path, or "" for none>... A record gives the CRC-32 and size of what
# the Unix file holds now, so that only where the record points can stop its restore; each
# galaxy's old bytes are "crafted old bytes" and a line end. Run 0 writes a set as galmend
# wrote them before runs were numbered: records of version 1, and no batch.
craft_set() {
    python3 - "$@" <<'PYTHON'
import struct, sys, zipfile, zlib
setfile, run, pairs = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
def entry(out, name, data, field):
    info = zipfile.ZipInfo(name, (2026, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_STORED
    info.extra = struct.pack('<HH', 0x4D47, len(field)) + field
    out.writestr(info, data)
with zipfile.ZipFile(setfile, 'w') as out:
    count = 0
    for path, unix in zip(pairs[0::2], pairs[1::2]):
        now = open(unix, 'rb').read() if unix else b'x'
        if run:
            field = struct.pack('<BcIIQ', 2, b'G', run, zlib.crc32(now), len(now))
        else:
            field = struct.pack('<BIQ', 1, zlib.crc32(now), len(now))
        count += 1
        entry(out, 'game/crafted %d.galaxy' % count, b'crafted old bytes\r\n',
              field + path.encode())
    if run:
        entry(out, 'galmend/batch 1.txt', b'', struct.pack('<BcII', 2, b'B', run, count))
PYTHON
}

# Each crafted set is newer than the fix's and leads with a record the restore would follow, a
# galaxy that holds what the fix wrote: the refusal must come before anything is written.
new_case foreign-set
install_demo_kept
use_release_data
fix_silently
real=$SET_FILE
mkdir -p "$CASE_DIR/fixed"
cp -r "$game" "$CASE_DIR/fixed/game"
cp -r "$user" "$CASE_DIR/fixed/user"
wininit='C:\windows\win.ini'
[[ -f "$(unixpath "$wininit")" ]] || fail "the prefix has no $wininit"
cp "$(unixpath "$wininit")" "$CASE_DIR/win.ini"
beside='C:\windows\zarn.galaxy'
cp "$OLD" "$(unixpath "$beside")"
first="${FIXED[1]}"
# Pairs: what a record names, and why a restore refuses it.
refusals=(
    "$wininit" "is not a galaxy (a \".galaxy\" file)"
    "targetzarnver.txt" "is not a full path on a drive"
    "$GAME_FOLDER\\Twin Suns.galaxy" "is one of the game's own maps"
    "$GAME_FOLDER\\..\\..\\windows\\zarn.galaxy" "lies outside the game's galaxy folder and the player's"
    "$GAME_FOLDER\\Fortrel.\\Deep Reach.galaxy" \
    "has a name ending in a dot or a blank, which Windows would change"
)
run=999
for ((i = 0; i < ${#refusals[@]}; i += 2)); do
    record=${refusals[i]}
    target=""
    # The file the record would reach, a folder's trailing dot dropped as Windows drops it.
    if [[ "$record" == [A-Z]:* ]]; then
        target=$(unixpath "$record")
        [[ -f "$target" ]] || target=$(unixpath "${record/.\\/\\}")
    fi
    [[ -f "$target" ]] || target=""
    crafted="2099-01-01 00-00-0$((i / 2)) run $run.zip"
    craft_set "$BACKUPS_DIR/$crafted" "$run" "$first" "$(unixpath "$first")" "$record" "$target"
    cp "$BACKUPS_DIR/$crafted" "$CASE_DIR/crafted $run.zip"
    run=$((run - 1))
done
run=999
for ((i = 0; i < ${#refusals[@]}; i += 2)); do
    crafted="2099-01-01 00-00-0$((i / 2)) run $run"
    start_program /restore
    answer_msgbox && expect_eq "message" "$(escape "The backup set $BACKUPS\\$crafted.zip is refused: \
it names ${refusals[i]}, which ${refusals[i + 1]}. A backup set puts back only galaxies in the \
game's galaxy folder and the player's. Nothing was restored, and the set is set aside, so that \
the next undo takes the one before it.")" "$MSGBOX_TEXT"
    expect_exit 1 60
    expect_eq "report, last line" "$(ended_line 1)" "$(program_report | tail -1)"
    expect_absent "the crafted set under its first name" "$BACKUPS_DIR/$crafted.zip"
    expect_same_file "the crafted set, set aside" "$CASE_DIR/crafted $run.zip" \
        "$BACKUPS_DIR/$crafted refused.zip"
    run=$((run - 1))
done
expect_same_tree "game folder after the refusals" "$CASE_DIR/fixed/game" "$game"
expect_same_tree "per-user folder after the refusals" "$CASE_DIR/fixed/user" "$user"
expect_same_file "$wininit" "$CASE_DIR/win.ini" "$(unixpath "$wininit")"
expect_same_file "$beside" "$OLD" "$(unixpath "$beside")"
rm -f "$(unixpath "$beside")"
start_program /restore
expect_exit 0 60
expect_report "$(restored_lines "${FIXED[@]}")" "Restored 3 of the 3 galaxies in ${real##*/}." \
    "$(ended_line 0)"
expect_as_before "after the fix's own set was restored"
# The next run's number counts every set, refused ones too.
fix_silently
[[ "${SET##*\\}" =~ \ run\ 1000\.zip$ ]] || fail "the next fix's set [${SET##*\\}] is not run 1000"

# "undo last fix" asks nothing for a set it refuses: it says why, sets the set aside, and
# offers the one before.
new_case window-refused
install_demo_kept
use_release_data
fix_silently
name=${SET##*\\}
cp "$(unixpath "$wininit")" "$CASE_DIR/win.ini"
crafted="2099-01-01 00-00-00 run 999"
craft_set "$BACKUPS_DIR/$crafted.zip" 999 "$wininit" "$(unixpath "$wininit")"
start_program
if read_window; then
    expect_eq "Command6 (undo last fix) enabled" 1 "$(control_field Command6 enabled)"
    wintest click "$PROG_CAPTION" Command6 "$WAIT_MS" || fail "could not press Command6"
    answer_msgbox && expect_contains "message" \
        "$(escape "The backup set $BACKUPS\\$crafted.zip is refused: it names $wininit, which")" \
        "$MSGBOX_TEXT"
    wait_control Command6 enabled 1 10
    undo_demo_fix "$name"
    wintest click "$PROG_CAPTION" Command3 "$WAIT_MS"
fi
expect_exit 0
expect_as_before "after undo last fix"
[[ -f "$BACKUPS_DIR/$crafted refused.zip" ]] || fail "the crafted set was not set aside"
expect_same_file "$wininit" "$CASE_DIR/win.ini" "$(unixpath "$wininit")"

# ---- the newest run, whatever the clock said -------------------------------------------------

# The second fix's set named as if the clock had gone back between the two fixes: a restore
# still takes it, the newer run, and the second fix rewrote one galaxy more than the first.
new_case clock-back
install_demo_kept
use_release_data
fix_silently
first=${SET##*\\}
install_demo
cp "$OLD" "$game/Second Wave.galaxy"
keep_before
fix_silently
[[ "${SET##*\\}" =~ \ run\ 2\.zip$ ]] || fail "the second fix's set [${SET##*\\}] is not run 2"
earlier="2001-01-01 00-00-00 run 2.zip"
mv "$SET_FILE" "$BACKUPS_DIR/$earlier"
start_program /restore
expect_exit 0 60
expect_report "$(restored_lines "${FIXED[0]}" "${FIXED[1]}" "$GAME_FOLDER\\Second Wave.galaxy" \
    "${FIXED[2]}")" "Restored 4 of the 4 galaxies in $earlier." "$(ended_line 0)"
expect_as_before "after /restore"
[[ -f "$BACKUPS_DIR/$first" ]] || fail "the first fix's set [$first] is not open any more"

# A set from before runs were numbered comes before every numbered one, even when its name's
# time is later.
new_case unnumbered-set
install_demo_kept
use_release_data
unnumbered="2099-12-31 23-59-59.zip"
kept="$GAME_FOLDER\\Core Worlds.galaxy"
mkdir -p "$BACKUPS_DIR"
craft_set "$BACKUPS_DIR/$unnumbered" 0 "$kept" "$(unixpath "$kept")"
fix_silently
[[ "${SET##*\\}" =~ \ run\ 1\.zip$ ]] || fail "the fix's set [${SET##*\\}] is not run 1"
start_program /restore
expect_exit 0 60
expect_report "$(restored_lines "${FIXED[@]}")" "Restored 3 of the 3 galaxies in ${SET##*\\}." \
    "$(ended_line 0)"
expect_as_before "after the first /restore"
start_program /restore
expect_exit 0 60
expect_report "Restored $kept" "Restored 1 of the 1 galaxy in $unnumbered." "$(ended_line 0)"
expect_file_text "$kept" $'crafted old bytes\r\n' "$(unixpath "$kept")"
[[ -f "$BACKUPS_DIR/${unnumbered%.zip} restored.zip" ]] ||
    fail "the unnumbered set was not renamed \"${unnumbered%.zip} restored.zip\""

# ---- a restore after the game was updated ----------------------------------------------------

# The version in the game's VS_FIXEDFILEINFO: set_game_version <file> <a.b.c.d>
set_game_version() {
    python3 - "$@" <<'PYTHON'
import struct, sys
path, parts = sys.argv[1], [int(p) for p in sys.argv[2].split('.')]
data = bytearray(open(path, 'rb').read())
at = data.find(struct.pack('<I', 0xFEEF04BD))
assert at >= 0, 'no VS_FIXEDFILEINFO'
struct.pack_into('<II', data, at + 16, parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])
open(path, 'wb').write(data)
PYTHON
}

# After an update of the game, before galmend has data for it, or with none at all: the fix is
# refused, the undo is not.
new_case restore-after-update
install_demo_kept
use_release_data
fix_silently
name=${SET##*\\}
mkdir -p "$CASE_DIR/fixed"
cp -r "$game" "$CASE_DIR/fixed/game"
set_game_version "$game/Halcyrion.exe" 1.53.0.1
cp "$game/Halcyrion.exe" "$CASE_DIR/fixed/game/Halcyrion.exe"
cp "$game/Halcyrion.exe" "$CASE_DIR/before/game/Halcyrion.exe"
start_program /s
answer_msgbox && expect_contains "message" "found zarn version :1.53.0.1:" "$MSGBOX_TEXT"
expect_exit 2 60
rm "$CASE_DIR/oldstruct.txt" "$CASE_DIR/newstruct.txt"
start_program /s
answer_msgbox && expect_eq "message" \
    "The old structure definition \"oldstruct.txt\" was not found in the folder the program was started from." \
    "$MSGBOX_TEXT"
expect_exit 1 60
expect_same_tree "game folder after the refused fixes" "$CASE_DIR/fixed/game" "$game"
expect_eq "backup sets after the refused fixes" "$name" "$(ls "$BACKUPS_DIR")"
start_program /restore
expect_exit 0 60
expect_report "$(restored_lines "${FIXED[@]}")" "Restored 3 of the 3 galaxies in $name." \
    "$(ended_line 0)"
expect_as_before "after /restore"

# ---- a fix killed halfway ----------------------------------------------------------------------

new_case killed-fix
install_many_galaxies

start_program /s
if poll 120 some_rewritten; then
    # The Windows process is what timeout started (through Wine's wrapper where it does not
    # exec the loader): killed hard, it finishes nothing.
    mapfile -t victims < <(descendants "$PROG_PID")
    ((${#victims[@]})) && kill -9 "${victims[@]}"
    wait_program 30
    say "killed the fix (pid ${victims[*]}, then $PROG_RC) with $(rewritten_count) of" \
        "$GALAXIES galaxies rewritten"
    [[ "$PROG_RC" != 0 ]] || fail "the fix had ended by itself before it was killed"
    # A set without its end cannot show that it holds every galaxy the fix replaced: the
    # restore puts back all it holds, says the set is incomplete and ends 1.
    start_program /restore
    answer_msgbox && expect_contains "message" "is incomplete: the last galaxy it accounts for is" \
        "$MSGBOX_TEXT"
    expect_exit 1 120
    # grep reads it all: -q would stop early, and pipefail would count the writer's SIGPIPE.
    program_report | grep -E '^Restored [0-9]+ of the [0-9]+ galaxies in .* run [0-9]+\.zip\.$' \
        >/dev/null ||
        fail "the report has no count line: $(program_report | tail -3)"
    expect_eq "galaxies not old again" 0 "$(sha256sum "$game"/map*.galaxy |
        awk -v o="$OLD_SUM" '$1 != o' | wc -l)"
else
    fail "no galaxy was rewritten within 120 s of the fix's start"
    wait_program 5
fi
finish
