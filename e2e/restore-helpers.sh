# What the scenarios of changes and their undoing share: the program's backup sets, both folders
# kept as they were, and for galmend the demo game, a silent fix and the set it names, and many
# copies of one old galaxy. Sourced after lib.sh and begin.
# shellcheck shell=bash disable=SC2034  # variables set here for the scenarios

readonly BACKUPS="$USER_APPS\\$PROG_NAME backups"
BACKUPS_DIR=$(unixpath "$BACKUPS")
readonly BACKUPS_DIR
readonly OLD=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
# The demo's old galaxies in the order a fix meets them, as the report names them.
readonly FIXED=("$GAME_FOLDER\\Fortrel\\Deep Reach.galaxy" "$GAME_FOLDER\\Orion Drift.galaxy"
    "$USER_GAME_FOLDER\\My First Map.galaxy")

# The demo game, and a copy of both folders as they are before any fix in the case's
# before/game and before/user.
install_demo_kept() {
    reset_game
    install_demo
    keep_before
}

# Both folders as they are now in the case's before/game and before/user.
keep_before() {
    rm -rf "$CASE_DIR/before"
    mkdir -p "$CASE_DIR/before"
    cp -r "$game" "$CASE_DIR/before/game"
    cp -r "$user" "$CASE_DIR/before/user"
}

# Both folders as they were before the change: expect_as_before <when>
expect_as_before() {
    expect_same_tree "game folder $1" "$CASE_DIR/before/game" "$game"
    expect_same_tree "per-user folder $1" "$CASE_DIR/before/user" "$user"
}

# "galmend /s", which must end by itself; sets SET to the Windows path of the backup set its
# report names, and SET_FILE to its Unix path: fix_silently [seconds to wait, 60 unless given]
# shellcheck disable=SC2120  # the wait is optional
fix_silently() {
    start_program /s
    expect_exit 0 "${1:-60}"
    SET=$(program_report | sed -n \
        's/^The old galaxies are kept in \(.*\); galmend \/restore puts them back\.$/\1/p')
    SET_FILE=$(unixpath "$SET")
    expect_contains "the backup set" "$BACKUPS\\" "$SET"
    [[ -n "$SET" && -f "$SET_FILE" ]] || fail "no backup set at [$SET]"
}

# The lines a restore reports for the files it put back: restored_lines <Windows path>...
restored_lines() {
    local path
    for path in "$@"; do printf 'Restored %s\n' "$path"; done
}

# ---- many galaxies ---------------------------------------------------------------------------

readonly GALAXIES=2000
OLD_SIZE=$(stat -c %s "$OLD")
OLD_SUM=$(sha256sum <"$OLD" | cut -d' ' -f1)

# The stand-in game with GALAXIES copies of the demo's old galaxy in its folder, and the
# release data.
install_many_galaxies() {
    reset_game
    use_release_data
    local bytes i
    bytes=$(cat "$OLD" && printf x)
    for i in $(seq -w 1 "$GALAXIES"); do printf '%s' "${bytes%x}" >"$game/map$i.galaxy"; done
}

# How many galaxies hold the rewritten bytes' size.
# shellcheck disable=SC2317  # called through poll
rewritten_count() { stat -c %s "$game"/map*.galaxy | grep -cvx "$OLD_SIZE"; }
# shellcheck disable=SC2317  # called through poll
some_rewritten() { (($(rewritten_count) > 0)); }
# shellcheck disable=SC2317  # called through poll
some_old() { (($(rewritten_count) < GALAXIES)); }

# How many galaxies hold neither of the given contents: others_count <sha256>...
others_count() {
    sha256sum "$game"/map*.galaxy | awk -v sums="$*" '
        BEGIN { n = split(sums, list, " "); for (i = 1; i <= n; i++) known[list[i]] = 1 }
        !($1 in known) { count++ }
        END { print count + 0 }'
}

# The processes below one, children first: descendants <pid>
descendants() {
    local child
    for child in $(pgrep -P "$1"); do
        printf '%s\n' "$child"
        descendants "$child"
    done
}
