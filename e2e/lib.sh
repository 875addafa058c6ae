# End-to-end scenarios under Wine: the one file the scenario scripts source. It sets the run's
# environment and constants and sources the harness's rooms from lib/:
#   text.sh      printing, escaping as wintest does, CR LF texts and files
#   assert.sh    checks that say what was expected and what came; the end of a scenario
#   poll.sh      poll, the one bounded wait every waiting loop uses
#   wine.sh      how Wine starts on this host, and the commands that start it
#   display.sh   the X display a Windows program needs, even in a silent run
#   prefix.sh    the Wine prefixes, their registry, the game install and its folders
#   run.sh       starting, waiting for and reporting on the program under test
#   window.sh    wintest: reading the program's window, pressing buttons, message boxes
#   fixtures.sh  per-case folders, data files, profile and deep folders
# Every wait is bounded.
#
# Environment (ctest sets it; the defaults suit a run from the repository root):
#   E2E_BUILD32, E2E_BUILD64  mingw-w64 build folders holding the executables under test
#   E2E_WORK                  prefixes and per-case working folders
#   E2E_DATA                  the release data shipped beside the programs
#   E2E_REQUIRED              1: a missing tool or executable fails the scenario; 0: it skips
#
# What begin sets for the scenario:
#   PROG_NAME, PROG_CAPTION, PROG_DATAFILES, write_program_data  from program-<name>.sh
#   EXE_BITS, PREFIX_BITS, SCENARIO  the scenario's arguments
#   PROG_EXE, PROG_COPY       the executable under test, and the scenario's copy of it
#   WINTEST, HALCYRION        the test helper and the stand-in game of the same bitness
#   WINE_EXE, WINE_TOOLS      the commands that start the executable, and the prefix's tools
#   CASES_DIR                 the scenario's working folder; CASE and CASE_DIR: the case's
#
# Results that functions leave in variables (each function says which it sets):
#   FAILURES       the number of failed checks so far (fail, finish)
#   PROG_RC        the exit code of the program last waited for (wait_program)
#   WINTEST_OUT    what the last wintest call printed (wintest)
#   WINDOW_OUT     the window's controls as last read (read_window, wait_control)
#   MSGBOX_TEXT, MSGBOX_OUT  the message box last answered (answer_msgbox)
#   LIST_ITEMS, LIST_SELECTED  the list box last read (read_list, wait_shown_folder)
#   HOSTENV        the environment the executable sees (read_hostenv)
#   PROFILE_GALAXIES  the galaxy folder of the profile outside the code page

# shellcheck shell=bash disable=SC2034  # many variables are set here for the scenarios
set -uo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_ROOT=$(cd "$E2E_DIR/.." && pwd)
: "${E2E_BUILD32:=$E2E_ROOT/build/win32}"
: "${E2E_BUILD64:=$E2E_ROOT/build/win64}"
: "${E2E_WORK:=$E2E_ROOT/build/e2e-work}"
: "${E2E_DATA:=$E2E_ROOT/data}"
: "${E2E_REQUIRED:=1}"

export WINEDEBUG=-all
# Wine takes the encoding of Unix file names and the Windows locale from the Unix locale: the
# scenarios write names in UTF-8 and expect English system messages and code page 1252.
export LC_ALL=C.UTF-8
# No Mono or Gecko installer dialogs while a prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

readonly E2E_SKIP=77
# Seconds one program run may take at most; a scenario with a longer run sets RUN_TIMEOUT
# before it sources this file.
readonly RUN_TIMEOUT=${RUN_TIMEOUT:-60}
readonly WAIT_MS=20000  # how long wintest waits for a window or a message box
readonly GAME_VERSION=1.52.0.3
readonly GAME_REGKEY='HKLM\SOFTWARE\Mervane\Kestrix\zarn'
readonly GAME_FOLDER='C:\Games\Zarn'

FAILURES=0

# shellcheck source=lib/text.sh
source "$E2E_DIR/lib/text.sh"
# shellcheck source=lib/assert.sh
source "$E2E_DIR/lib/assert.sh"
# shellcheck source=lib/poll.sh
source "$E2E_DIR/lib/poll.sh"
# shellcheck source=lib/wine.sh
source "$E2E_DIR/lib/wine.sh"
# shellcheck source=lib/display.sh
source "$E2E_DIR/lib/display.sh"
# shellcheck source=lib/prefix.sh
source "$E2E_DIR/lib/prefix.sh"
# shellcheck source=lib/run.sh
source "$E2E_DIR/lib/run.sh"
# shellcheck source=lib/window.sh
source "$E2E_DIR/lib/window.sh"
# shellcheck source=lib/fixtures.sh
source "$E2E_DIR/lib/fixtures.sh"

# The scenario: begin <program> <exe bits> <prefix bits> <scenario name>. Skips what the host
# or the build lacks, makes the prefix, copies the program, starts the display, and cleans up
# on the way out.
begin() {
    local program=$1
    EXE_BITS=$2
    PREFIX_BITS=$3
    SCENARIO=$4
    command -v wine >/dev/null || skip "wine is not installed"
    command -v Xvfb >/dev/null || skip "Xvfb is not installed"
    command -v xdpyinfo >/dev/null || skip "xdpyinfo is not installed"
    load_host
    needs_bits "$EXE_BITS" "$PREFIX_BITS"
    mapfile -t WINE_TOOLS < <(wine_of "$PREFIX_BITS")
    mapfile -t WINE_EXE < <(wine_of "$EXE_BITS")
    # shellcheck source=program-galmend.sh
    source "$E2E_DIR/program-$program.sh"
    local build=$E2E_BUILD64
    ((EXE_BITS == 32)) && build=$E2E_BUILD32
    PROG_EXE=$build/$PROG_EXE_REL
    WINTEST=$build/e2e/win32/wintest.exe
    HALCYRION=$build/e2e/win32/Halcyrion.exe
    local file
    for file in "$PROG_EXE" "$WINTEST" "$HALCYRION"; do
        [[ -f "$file" ]] || skip "not built: $file"
    done
    make_prefix "$PREFIX_BITS" || exit 1
    export WINEPREFIX=$E2E_WORK/prefix$PREFIX_BITS
    # The two galaxy folders as the scenarios reach them from Linux.
    game=$(unixpath "$GAME_FOLDER")
    user=$(unixpath "$USER_GAME_FOLDER")
    CASES_DIR=$E2E_WORK/cases/$PROG_NAME-$SCENARIO-exe$EXE_BITS-prefix$PREFIX_BITS
    rm -rf "$CASES_DIR"
    mkdir -p "$CASES_DIR"
    take_program_copy
    trap cleanup EXIT
    start_xvfb
    say "scenario $PROG_NAME $SCENARIO: $EXE_BITS-bit executable, $PREFIX_BITS-bit prefix," \
        "display $DISPLAY"
}
