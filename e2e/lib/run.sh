# Running the program under test: its copy, its start, its end and its report, and another
# program that holds a file for a while.
# shellcheck shell=bash disable=SC2034  # variables set here for the scenarios

PROG_PID=
PROG_RC=
HOLD_PID=

# One copy of the program for all cases of the scenario: the build folders are shared, and a
# copy taken while the linker writes the file would not start. Sets PROG_COPY.
take_program_copy() {
    PROG_COPY=$CASES_DIR/$(basename "$PROG_EXE")
    poll 20 stable_copy_taken && return 0
    fail "could not take a stable copy of $PROG_EXE"
    exit 1
}

stable_copy_taken() {
    # Untouched for two seconds: the linker is done with it.
    (($(date +%s) - $(stat -c %Y "$PROG_EXE") >= 2)) &&
        cp "$PROG_EXE" "$PROG_COPY" && cmp -s "$PROG_EXE" "$PROG_COPY"
}

# Runs a Windows program from the case's folder, its output to a file, within the run's time:
# launch <output file> <program> [args...]. Wine's launcher sometimes fails to start a program
# on a loaded machine ("Application could not be started"); the program then never ran, so
# starting it again repeats nothing. Meant for the background: stopped (TERM), it stops the
# program.
launch() {
    local out=$1 try child='' status
    shift
    trap '[[ -n "$child" ]] && kill "$child" 2>/dev/null; wait; exit 143' TERM
    cd "$CASE_DIR" || exit 1
    for try in 1 2 3; do
        timeout -k 5 "$RUN_TIMEOUT" "${WINE_EXE[@]}" "$@" >"$out" 2>&1 &
        child=$!
        wait "$child"
        status=$?
        ((status != 0)) && grep -q "Application could not be started" "$out" || exit "$status"
        say "wine could not start $1 (try $try)"
    done
    exit "$status"
}

# Starts the program from the case's folder in the background: start_program [args...]
start_program() {
    PROG_RC=
    require_display
    (launch "$CASE_DIR/program.out" "$(basename "$PROG_EXE")" "$@") &
    PROG_PID=$!
    say "started $PROG_NAME $* (pid $PROG_PID)"
}

# The same with a command line passed exactly as written, blanks and quotation marks
# included: start_program_raw <arguments text>
start_program_raw() {
    PROG_RC=
    local line
    line="$(basename "$PROG_EXE") $1"
    require_display
    (launch "$CASE_DIR/program.out" "$WINTEST" run "$line" $(((RUN_TIMEOUT - 5) * 1000))) &
    PROG_PID=$!
    say "started [$line] (pid $PROG_PID)"
}

# Waits at most the given seconds for the program to end and sets PROG_RC. A program still
# running is shown (any message box it has open) and stopped, and PROG_RC is "running".
wait_program() {
    local seconds=${1:-20}
    if poll "$seconds" ended "$PROG_PID"; then
        wait "$PROG_PID"
        PROG_RC=$?
    else
        say "$PROG_NAME still runs after $seconds s; what it shows:"
        wintest msgbox "$PROG_NAME" 500
        wintest controls "$PROG_CAPTION" 500
        kill "$PROG_PID" 2>/dev/null
        wait "$PROG_PID"
        PROG_RC="still running after $seconds s (then $?)"
    fi
    PROG_PID=
}

# expect_exit <exit code> [seconds to wait, 20 unless given]
expect_exit() {
    wait_program "${2:-20}"
    expect_eq "exit code" "$1" "$PROG_RC"
}

# ---- the report of a silent run ------------------------------------------------------------

# What a silent run wrote to the console it was started from, one line each (its CR LF ends
# as LF).
program_report() { tr -d '\r' <"$CASE_DIR/program.out"; }

# The last line a run reports: ended_line <exit code>. The text is the program's own, printed
# by wintest from the same table, and kept for the scenario's later cases.
ended_line() {
    local kept=$CASES_DIR/outcome.$1 line
    if [[ ! -s "$kept" ]]; then
        wintest outcome "$PROG_NAME" "$1" >/dev/null
        line=$(tr -d '\r' <<<"$WINTEST_OUT")
        if [[ -z "$line" ]]; then
            say "wintest gave no outcome line for exit code $1" >&2
            return 1
        fi
        printf '%s\n' "$line" >"$kept"
    fi
    cat "$kept"
}

# The whole report of the run: expect_report <line>...
expect_report() {
    expect_eq "report" "$(printf '%s\n' "$@")" "$(program_report)"
}

# The report's first line and its last, which says how the run ended: expect_report_ends
# <first line> <exit code>
expect_report_ends() {
    expect_eq "report, first line" "$1" "$(program_report | head -1)"
    expect_eq "report, last line" "$(ended_line "$2")" "$(program_report | tail -1)"
}

# Runs the program with the arguments, which must end by itself (a message box would hold it),
# with the exit code, and keep both galaxy folders and the local application data as they
# were: run_unchanged <exit code> <args>...
run_unchanged() {
    local code=$1 kept=$CASE_DIR/snapshot apps
    shift
    apps=$(unixpath "$USER_APPS")
    snapshot "$game" "$apps" >"$kept"
    start_program "$@"
    expect_exit "$code" 60
    expect_snapshot "both folders after $PROG_NAME $*" "$kept" "$game" "$apps"
}

# A command line that changes nothing, with its exit code and the report's first line:
# argument_case <exit code> <first line> <args>...
argument_case() {
    local code=$1 first=$2
    shift 2
    run_unchanged "$code" "$@"
    expect_report_ends "$first" "$code"
}

# A silent run with the case's data that ends by itself with nothing to show: a message box
# would hold it until the wait runs out, and be shown. Its report is what is given and the
# program's notes after its last given line (program_notes, in program-<name>.sh), or, with
# nothing given, anything that ends normally.
expect_quiet_silent_run() {
    local notes
    start_program /s
    expect_exit 0 60
    if (($#)); then
        mapfile -t notes < <(program_notes "${@: -1}")
        expect_report "$@" "${notes[@]}" "$(ended_line 0)"
    else
        expect_eq "report, last line" "$(ended_line 0)" "$(program_report | tail -1)"
    fi
}

# ---- another program holding a file -----------------------------------------------------------

# Another program keeps a file to itself, shared with nobody, for a while: hold_file <path>
# <milliseconds>, a relative path being the case folder's. Returns once the file is held.
hold_file() {
    local out=$CASE_DIR/hold.out
    : >"$out"
    (launch "$out" "$WINTEST" hold "$1" "$2") &
    HOLD_PID=$!
    poll 20 held_or_holder_ended "$out"
    if grep -qx held "$out"; then
        say "holding $1 for $2 ms (pid $HOLD_PID)"
        return 0
    fi
    fail "wintest did not hold $1 within 20 s: [$(escape "$(cat "$out")")]"
    return 1
}

held_or_holder_ended() { grep -qx held "$1" || ended "$HOLD_PID"; }

# Waits, bounded, for the holder of hold_file to let the file go and end.
expect_released() {
    if poll 30 ended "$HOLD_PID"; then
        wait "$HOLD_PID"
        expect_eq "the holder's exit code" 0 "$?"
    else
        kill "$HOLD_PID"
        wait "$HOLD_PID"
        fail "the holder still held the file after 30 s"
    fi
    HOLD_PID=
}

# ---- the end of the scenario ------------------------------------------------------------------

cleanup() {
    if [[ -n "$PROG_PID" ]] && ! ended "$PROG_PID"; then kill "$PROG_PID"; fi
    if [[ -n "$HOLD_PID" ]] && ! ended "$HOLD_PID"; then kill "$HOLD_PID"; fi
    # Ends the programs of our own prefix, so that the next scenario starts a clean server.
    # Waits until the server is gone too: a next scenario's first call must not reach a
    # server that is still going down.
    if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
        timeout 20 "${WINESERVER[@]}" -k 2>/dev/null
        timeout 20 "${WINESERVER[@]}" -w 2>/dev/null
    fi
    [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
}
