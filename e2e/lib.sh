# End-to-end scenarios under Wine: the display, the prefixes, the game install, program runs
# and assertions. Sourced by the scenario scripts; every wait here is bounded.
#
# Environment (ctest sets it; the defaults suit a run from the repository root):
#   E2E_BUILD32, E2E_BUILD64  mingw-w64 build folders holding the executables under test
#   E2E_WORK                  prefixes and per-case working folders
#   E2E_DATA                  the release data shipped beside the programs
#   E2E_REQUIRED              1: a missing tool or executable fails the scenario; 0: it skips

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
readonly RUN_TIMEOUT=60     # seconds one program run may take at most
readonly WAIT_MS=20000      # how long wintest waits for a window or a message box
readonly GAME_VERSION=1.52.0.3
readonly GAME_REGKEY='HKLM\SOFTWARE\Mervane\Kestrix\zarn'
readonly GAME_FOLDER='C:\Games\Zarn'

FAILURES=0
WINE32=() WINE64=() WINE64_CMD=() WINESERVER=(wineserver) WINE_EXE=() WINE_TOOLS=()
XVFB_PID=
PROG_PID=
PROG_RC=
HOLD_PID=

say() { printf '%s\n' "$*"; }
# Skipping is for a developer who built only part of the project; a required run that tests
# nothing must not pass.
skip() {
    if [[ "$E2E_REQUIRED" != 0 ]]; then
        say "FAIL: $* (configure with -DZARN_E2E_REQUIRED=OFF to skip instead)"
        exit 1
    fi
    say "SKIP: $*"
    exit "$E2E_SKIP"
}

# Makes CR, LF and backslashes visible the way wintest prints texts.
escape() {
    local text=${1//\\/\\\\}
    text=${text//$'\r'/\\r}
    text=${text//$'\n'/\\n}
    printf '%s' "$text"
}

# Lines joined by CR LF, with no line end after the last one.
crlf_join() {
    local joined="" line first=1
    for line in "$@"; do
        if ((first)); then joined=$line; else joined+=$'\r\n'$line; fi
        first=0
    done
    printf '%s' "$joined"
}

# A text file whose every line ends with CR LF.
crlf_file() {
    local file=$1
    shift
    local line
    : >"$file"
    for line in "$@"; do printf '%s\r\n' "$line" >>"$file"; done
}

# ---- assertions: each says what was expected and what came --------------------------------

fail() {
    FAILURES=$((FAILURES + 1))
    say "FAIL: $*"
}

expect_eq() {
    local what=$1 expected=$2 got=$3
    if [[ "$got" == "$expected" ]]; then
        say "ok   $what: [$got]"
    else
        fail "$what: expected [$expected], got [$got]"
    fi
}

expect_contains() {
    local what=$1 needle=$2 got=$3
    if [[ "$got" == *"$needle"* ]]; then
        say "ok   $what contains [$needle]"
    else
        fail "$what: expected to contain [$needle], got [$got]"
    fi
}

expect_not_contains() {
    local what=$1 needle=$2 got=$3
    if [[ "$got" != *"$needle"* ]]; then
        say "ok   $what lacks [$needle]"
    else
        fail "$what: expected not to contain [$needle], got [$got]"
    fi
}

finish() {
    if ((FAILURES)); then
        say "$FAILURES check(s) failed"
        exit 1
    fi
    say "all checks passed"
    exit 0
}

# ---- how Wine starts on this host ------------------------------------------------------------
#
# Some hosts execute 64-bit user code only: the kernel refuses every i386 program. There
# Debian's wine, wineboot and wine-stable wrappers fail even for 64-bit programs, because they
# pick the 32-bit loader whenever wine32 is installed, and the 32-bit executables cannot run at
# all. The host is probed once per test run (e2e.host) and the facts are kept in
# $E2E_WORK/host.facts; a script started on its own probes when the facts are missing.
#
# Every Wine call goes through these commands:
#   WINE32      starts a 32-bit program (Debian's wrapper)
#   WINE64      starts a 64-bit program, and the tools of a 64-bit prefix (reg, attrib...):
#               Debian's wrapper where the host runs 32-bit code, as it always has; the 64-bit
#               loader itself where it does not
#   WINE64_CMD  the 64-bit cmd: in a 64-bit prefix the wrapper starts the 32-bit one, which
#               sees PROCESSOR_ARCHITECTURE=x86
#   WINESERVER  the Wine server of the prefixes
# E2E_NO_32BIT=1 makes a run behave as on a host that cannot execute 32-bit code.

readonly WINE32_LOADER=/usr/lib/wine/wine

# The 64-bit Wine loader.
wine64_loader() {
    if [[ -x /usr/lib/wine/wine64 ]]; then
        printf '%s' /usr/lib/wine/wine64
    else
        command -v wine64
    fi
}

# Writes the host's facts: HOST_RUNS_32 (1 or 0), HOST_NO_32_REASON, HOST_NO_32_MISSING (1
# when what is missing is a package, not the host's ability), WINE64_LOADER, and the value of
# the override they were found with.
probe_host() {
    local runs32=1 reason="" missing=0 output
    if [[ "${E2E_NO_32BIT:-0}" == 1 ]]; then
        runs32=0
        reason="E2E_NO_32BIT=1 makes this run behave as on a host that cannot execute 32-bit code"
    elif [[ ! -x "$WINE32_LOADER" ]]; then
        runs32=0 missing=1
        reason="wine32 is not installed ($WINE32_LOADER)"
    # bash, not timeout's exec, starts the loader: on a refused i386 program exec falls back
    # to running it as a shell script, where bash says "cannot execute binary file".
    elif ! output=$(timeout 20 bash -c '"$0" --version' "$WINE32_LOADER" 2>&1); then
        runs32=0
        if [[ "$output" == *"Exec format error"* || "$output" == *"cannot execute binary"* ]]; then
            reason="this host cannot execute 32-bit code ($WINE32_LOADER --version: Exec format error)"
        else
            missing=1
            reason="the 32-bit Wine loader fails: $WINE32_LOADER --version: ${output//$'\n'/ }"
        fi
    fi
    printf 'HOST_RUNS_32=%q\nHOST_NO_32_REASON=%q\nHOST_NO_32_MISSING=%q\n' \
        "$runs32" "$reason" "$missing"
    printf 'WINE64_LOADER=%q\nHOST_OVERRIDE=%q\n' "$(wine64_loader)" "${E2E_NO_32BIT:-0}"
}

# Loads the host's facts, probing when there are none yet or the override changed; "fresh"
# probes anew. Sets the Wine commands above.
load_host() {
    local facts=$E2E_WORK/host.facts
    mkdir -p "$E2E_WORK"
    (
        flock -w 60 9 || exit 1
        if [[ "${1:-}" == fresh || ! -s "$facts" ]] ||
            ! grep -qx "HOST_OVERRIDE=${E2E_NO_32BIT:-0}" "$facts"; then
            probe_host >"$facts.new" && mv "$facts.new" "$facts"
        fi
    ) 9>"$facts.lock" || { say "cannot probe the host for Wine"; exit 1; }
    # shellcheck disable=SC1090
    source "$facts"
    WINE32=(wine)
    if [[ -z "$WINE64_LOADER" ]]; then
        WINE64=(false) WINE64_CMD=(false)
    elif ((HOST_RUNS_32)); then
        WINE64=(wine)
        WINE64_CMD=(env "WINELOADER=$WINE64_LOADER" "$WINE64_LOADER")
    else
        WINE64=(env "WINELOADER=$WINE64_LOADER" "$WINE64_LOADER")
        WINE64_CMD=("${WINE64[@]}")
    fi
    WINESERVER=(wineserver)
}

# The command that starts a program of the given bitness: wine_of <bits>; sets WINE_OF.
wine_of() {
    if (($1 == 32)); then WINE_OF=("${WINE32[@]}"); else WINE_OF=("${WINE64[@]}"); fi
}

# Ends the script as skipped when one of the bitnesses needs what the host lacks: needs_bits
# <bits>... A host that cannot execute 32-bit code skips whatever the run is told; a missing
# package is a missing tool, which skip() fails on a required run.
needs_bits() {
    local bits
    [[ -n "$WINE64_LOADER" ]] || skip "the 64-bit Wine loader (wine64) is not installed"
    for bits in "$@"; do
        ((bits == 32 && !HOST_RUNS_32)) || continue
        ((HOST_NO_32_MISSING)) && skip "32-bit executables not run: $HOST_NO_32_REASON"
        say "SKIP: 32-bit executables not run: $HOST_NO_32_REASON"
        exit "$E2E_SKIP"
    done
}

# ---- display and prefix ----------------------------------------------------------------------

# A Windows program without a display cannot make its window and ends with exit code 1, and
# nobody sees why: the run stops here first, saying so.
no_display() {
    say "no X display: $1"
    exit 1
}

require_display() {
    [[ -n "${DISPLAY:-}" ]] || no_display "DISPLAY is not set"
    local output
    output=$(timeout 10 xdpyinfo -display "$DISPLAY" 2>&1 >/dev/null) ||
        no_display "$DISPLAY cannot be reached${output:+ ($output)}"
}

start_xvfb() {
    local fdfile=$E2E_WORK/xvfb.$$.display errors=$E2E_WORK/xvfb.$$.errors
    : >"$fdfile"
    # -displayfd lets the server pick a free display and tell us which.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fdfile" 2>"$errors" &
    XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [[ -s "$fdfile" ]] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    local display
    display=$(tr -dc 0-9 <"$fdfile")
    rm -f "$fdfile"
    if [[ -z "$display" ]]; then
        say "Xvfb did not start within 10 s; its last lines:"
        tail -n 5 "$errors" | sed 's/^/  | /'
        rm -f "$errors"
        no_display "Xvfb gave none"
    fi
    rm -f "$errors"
    export DISPLAY=:$display
    require_display
}

cleanup() {
    if [[ -n "$PROG_PID" ]] && kill -0 "$PROG_PID" 2>/dev/null; then kill "$PROG_PID"; fi
    if [[ -n "$HOLD_PID" ]] && kill -0 "$HOLD_PID" 2>/dev/null; then kill "$HOLD_PID"; fi
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

# Makes the prefix of the given architecture unless it is there; with "fresh", always anew.
# flock: parallel test runs make it once. A prefix made before wine32 was installed cannot
# start 32-bit programs, which is why a test run starts from a fresh one.
make_prefix() {
    local bits=$1 mode=${2:-}
    local prefix=$E2E_WORK/prefix$bits log=$E2E_WORK/prefix$bits.log
    mkdir -p "$E2E_WORK"
    (
        flock -w 300 9 || { say "timed out waiting for the prefix lock"; exit 1; }
        [[ "$mode" == fresh ]] && rm -rf "$prefix"
        [[ -f "$prefix/.e2e-ready" ]] && exit 0
        rm -rf "$prefix"
        local arch=win64
        ((bits == 32)) && arch=win32
        wine_of "$bits"
        say "making the $arch prefix $prefix with ${WINE_OF[*]}"
        if ! WINEPREFIX=$prefix WINEARCH=$arch DISPLAY='' timeout 180 "${WINE_OF[@]}" wineboot \
            --init >"$log" 2>&1; then
            say "wineboot failed; its last lines:"
            tail -n 20 "$log" | sed 's/^/  | /'
            exit 1
        fi
        # Without a window manager Wine waits two seconds for every closed window to be
        # withdrawn; unmanaged windows close at once.
        if ! WINEPREFIX=$prefix timeout 30 "${WINE_OF[@]}" reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /t REG_SZ /d N /f >"$log" 2>&1; then
            say "cannot set up the prefix: reg add failed; its last lines:"
            tail -n 20 "$log" | sed 's/^/  | /'
            exit 1
        fi
        WINEPREFIX=$prefix timeout 60 "${WINESERVER[@]}" -w
        touch "$prefix/.e2e-ready"
    ) 9>"$E2E_WORK/prefix$bits.lock"
}

# ---- the scenario: program, executable, prefix ----------------------------------------------

# begin <program> <exe bits> <prefix bits> <scenario name>
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
    wine_of "$PREFIX_BITS"
    WINE_TOOLS=("${WINE_OF[@]}")
    wine_of "$EXE_BITS"
    WINE_EXE=("${WINE_OF[@]}")
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
    CASES_DIR=$E2E_WORK/cases/$PROG_NAME-$SCENARIO-exe$EXE_BITS-prefix$PREFIX_BITS
    rm -rf "$CASES_DIR"
    mkdir -p "$CASES_DIR"
    take_program_copy
    trap cleanup EXIT
    start_xvfb
    say "scenario $PROG_NAME $SCENARIO: $EXE_BITS-bit executable, $PREFIX_BITS-bit prefix," \
        "display $DISPLAY"
}

# cmd of the executable's bitness.
wine_cmd() {
    if ((EXE_BITS == 64)); then
        timeout 30 "${WINE64_CMD[@]}" cmd /c "$@"
    else
        timeout 30 "${WINE32[@]}" cmd /c "$@"
    fi
}

# The environment as a program of our executable's bitness sees it: HOSTENV[name]=value.
declare -A HOSTENV
read_hostenv() {
    HOSTENV=()
    local line
    while IFS= read -r line; do
        line=${line%$'\r'}
        [[ "$line" == *=* ]] && HOSTENV[${line%%=*}]=${line#*=}
    done < <(wine_cmd set)
}

reg() { timeout 30 "${WINE_TOOLS[@]}" reg "$@" >/dev/null 2>&1; }

# The install path where a 32-bit installer writes it, and nothing in the 64-bit view.
set_install_path() {
    clear_install_path
    local _
    # Checked, so that a write that did not land fails here and not as a puzzling gate.
    for _ in 1 2 3; do
        reg add "$GAME_REGKEY" /v Path /t REG_SZ /d "$GAME_FOLDER" /f /reg:32 &&
            reg query "$GAME_REGKEY" /v Path /reg:32 && return 0
        timeout 20 "${WINESERVER[@]}" -w 2>/dev/null
    done
    fail "could not write the install path $GAME_FOLDER to $GAME_REGKEY"
}

clear_install_path() {
    reg delete "$GAME_REGKEY" /f /reg:32
    reg delete "$GAME_REGKEY" /f /reg:64
}

# The Windows version the prefix presents ("winxp", "win7"...); empty: Wine's default.
set_winver() {
    if [[ -n "$1" ]]; then
        reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$1" /f
    else
        reg delete 'HKCU\Software\Wine' /v Version /f
    fi
}

# A Windows path inside the prefix as a Unix path (C:\a\b -> $WINEPREFIX/drive_c/a/b).
unixpath() {
    local path=${1#[Cc]:}
    printf '%s' "$WINEPREFIX/drive_c${path//\\//}"
}

# The display's DPI the prefix presents (LogPixels); empty: Wine's default, 96.
set_dpi() {
    if [[ -n "$1" ]]; then
        reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f
    else
        reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f
    fi
}

# One copy of the program for all cases of the scenario: the build folders are shared, and a
# copy taken while the linker writes the file would not start.
take_program_copy() {
    PROG_COPY=$CASES_DIR/$(basename "$PROG_EXE")
    local _
    for _ in $(seq 10); do
        # Untouched for two seconds: the linker is done with it.
        if (($(date +%s) - $(stat -c %Y "$PROG_EXE") >= 2)); then
            cp "$PROG_EXE" "$PROG_COPY" && cmp -s "$PROG_EXE" "$PROG_COPY" && return 0
        fi
        sleep 2
    done
    fail "could not take a stable copy of $PROG_EXE"
    exit 1
}

# Wine names the profile folder after the Unix user.
USER_APPS="C:\\users\\$(id -un)\\AppData\\Local"
USER_GAME_FOLDER="$USER_APPS\\Corvatek\\Halcyrion"

# A text as a .reg file's hex(2) value: its UTF-16LE bytes with the ending null character.
reg_hex_text() {
    printf '%s\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' |
        sed 's/^,//; s/,$//'
}

# Imports registry lines with the prefix's regedit: import_reg <line>... The file is
# UTF-16LE with a byte order mark, as regedit writes it, so that any name survives.
import_reg() {
    local file=$CASES_DIR/import.reg
    {
        printf '\xff\xfe'
        printf '%s\r\n' "Windows Registry Editor Version 5.00" "" "$@" | iconv -f UTF-8 -t UTF-16LE
    } >"$file"
    (cd "$CASES_DIR" && timeout 30 "${WINE_TOOLS[@]}" regedit /S import.reg >/dev/null 2>&1) ||
        fail "regedit /S could not import $file"
}

# The folder SHGetFolderPath gives for the per-user local application data: set_local_apps
# <folder>; empty: Wine's default. Wine reads the user's "User Shell Folders" value
# (REG_EXPAND_SZ) and copies what it finds to "Shell Folders" (REG_SZ); both are set, as
# Windows keeps them in step.
set_local_apps() {
    local key='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer'
    local user=$1 shown=$1
    if [[ -z "$user" ]]; then
        user='%USERPROFILE%\AppData\Local'
        shown=$USER_APPS
    fi
    import_reg "[$key\\User Shell Folders]" "\"Local AppData\"=hex(2):$(reg_hex_text "$user")" \
        "" "[$key\\Shell Folders]" "\"Local AppData\"=\"${shown//\\/\\\\}\""
}

# A profile folder named outside the code page as the local application data, with an old
# galaxy in its per-user galaxy folder, and one in the default per-user folder, which is no
# galaxy folder now: use_profile_outside_the_code_page <old galaxy>. Sets PROFILE (the
# Windows path) and PROFILE_GALAXIES (the Unix path of its galaxy folder); the galaxies are
# PROFILE_GALAXIES/maps/Far.galaxy and Stale.galaxy in the default per-user folder.
use_profile_outside_the_code_page() {
    PROFILE='C:\users\张伟'
    rm -rf "$(unixpath "$PROFILE")"
    set_local_apps "$PROFILE\\AppData\\Local"
    PROFILE_GALAXIES=$(unixpath "$PROFILE\\AppData\\Local\\Corvatek\\Halcyrion")
    mkdir -p "$PROFILE_GALAXIES/maps"
    cp "$1" "$PROFILE_GALAXIES/maps/Far.galaxy"
    cp "$1" "$(unixpath "$USER_GAME_FOLDER")/Stale.galaxy"
}

# Local application data back at Wine's default, and the profile gone.
drop_profile_outside_the_code_page() {
    set_local_apps ""
    rm -rf "$(unixpath "$PROFILE")"
}

# The stand-in game in the game folder, an empty per-user game folder, the install path written,
# the Windows version, the DPI and the per-user folders at Wine's default.
reset_game() {
    rm -rf "$WINEPREFIX/drive_c/Games"
    mkdir -p "$(unixpath "$GAME_FOLDER")"
    cp "$HALCYRION" "$(unixpath "$GAME_FOLDER")/Halcyrion.exe"
    rm -rf "$(unixpath "$USER_APPS")/Corvatek"
    mkdir -p "$(unixpath "$USER_GAME_FOLDER")"
    set_install_path
    set_winver ""
    set_dpi ""
    set_local_apps ""
}

# A fresh working folder for one case, holding a copy of the program as a player's unzipped
# folder would. The data files are the case's to write.
new_case() {
    CASE=$1
    CASE_DIR=$CASES_DIR/$CASE
    mkdir -p "$CASE_DIR"
    cp "$PROG_COPY" "$CASE_DIR/"
    say ""
    say "== $CASE"
}

# The same with the case's folder on drive C: a program started there sees "\" as the
# prefix's C:\, not the host's root through Z:.
new_case_on_c() {
    new_case "$1"
    CASE_DIR=$(unixpath "C:\\cases\\$1")
    rm -rf "$CASE_DIR"
    mkdir -p "$CASE_DIR"
    cp "$PROG_COPY" "$CASE_DIR/"
}

# The release data when data/ holds it, the program's own small data otherwise.
use_release_data() {
    local file
    for file in "${PROG_DATAFILES[@]}"; do
        if [[ ! -f "$E2E_DATA/$file" ]]; then
            say "(no release data $E2E_DATA/$file: using the scenarios' own data)"
            write_program_data "$CASE_DIR" "$GAME_VERSION"
            return
        fi
    done
    for file in "${PROG_DATAFILES[@]}"; do cp "$E2E_DATA/$file" "$CASE_DIR/"; done
}

# Starts the program from the case's folder in the background: start_program [args...]
start_program() {
    PROG_RC=
    require_display
    (cd "$CASE_DIR" && exec timeout -k 5 "$RUN_TIMEOUT" "${WINE_EXE[@]}" "$(basename "$PROG_EXE")" \
        "$@") \
        >"$CASE_DIR/program.out" 2>&1 &
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
    (cd "$CASE_DIR" && exec timeout -k 5 "$RUN_TIMEOUT" "${WINE_EXE[@]}" "$WINTEST" run "$line" \
        $(((RUN_TIMEOUT - 5) * 1000))) >"$CASE_DIR/program.out" 2>&1 &
    PROG_PID=$!
    say "started [$line] (pid $PROG_PID)"
}

# What a silent run wrote to the console it was started from, one line each (its CR LF ends
# as LF).
program_report() { tr -d '\r' <"$CASE_DIR/program.out"; }

# The last line a run reports: ended_line <exit code>
ended_line() {
    local line="$PROG_NAME ended with exit code $1"
    case $1 in
    0) say "$line: the run is complete." ;;
    1) say "$line: the run failed, for the reason above." ;;
    2) say "$line: the game is not the version \"targetzarnver.txt\" names; nothing was changed." ;;
    3) say "$line: the command line holds an argument it does not know; nothing was changed." ;;
    esac
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

# A silent run with the case's data that ends by itself with nothing to show: a message box
# would hold it until the wait runs out, and be shown. Its report is what is given, or, with
# nothing given, anything that ends normally.
expect_quiet_silent_run() {
    start_program /s
    expect_exit 0 60
    if (($#)); then
        expect_report "$@" "$(ended_line 0)"
    else
        expect_eq "report, last line" "$(ended_line 0)" "$(program_report | tail -1)"
    fi
}

# A folder 60 levels below the game folder, its path far past 260 characters: sets DEEP_FOLDER
# (the Windows path) and makes it.
make_deep_folder() {
    local level
    DEEP_FOLDER=$GAME_FOLDER
    for level in $(seq -w 1 60); do
        DEEP_FOLDER+="\\level$level-the-long-way-down-to-the-bottom-of-the-map"
    done
    say "the folder's path has ${#DEEP_FOLDER} characters"
    mkdir -p "$(unixpath "$DEEP_FOLDER")"
}

# Waits at most the given seconds for the program to end and sets PROG_RC. A program still
# running is shown (any message box it has open) and stopped, and PROG_RC is "running".
wait_program() {
    local seconds=${1:-20} _
    for _ in $(seq $((seconds * 10))); do
        kill -0 "$PROG_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$PROG_PID" 2>/dev/null; then
        say "$PROG_NAME still runs after $seconds s; what it shows:"
        wintest msgbox "$PROG_NAME" 500
        wintest controls "$PROG_CAPTION" 500
        kill "$PROG_PID" 2>/dev/null
        wait "$PROG_PID"
        PROG_RC="still running after $seconds s (then $?)"
    else
        wait "$PROG_PID"
        PROG_RC=$?
    fi
    PROG_PID=
}

# Runs wintest in the prefix; its output goes to WINTEST_OUT and to the log.
wintest() {
    WINTEST_OUT=$(timeout 60 "${WINE_EXE[@]}" "$WINTEST" "$@" 2>/dev/null)
    local rc=$?
    say "wintest $1 -> $rc"
    [[ -n "$WINTEST_OUT" ]] && printf '%s\n' "$WINTEST_OUT" | sed 's/^/  | /'
    return $rc
}

# Another program keeps a file to itself, shared with nobody, for a while: hold_file <path>
# <milliseconds>, a relative path being the case folder's. Returns once the file is held.
hold_file() {
    local out=$CASE_DIR/hold.out _
    : >"$out"
    (cd "$CASE_DIR" && exec timeout -k 5 "$RUN_TIMEOUT" "${WINE_EXE[@]}" "$WINTEST" hold "$1" \
        "$2") >"$out" 2>/dev/null &
    HOLD_PID=$!
    for _ in $(seq 200); do
        if grep -qx held "$out"; then
            say "holding $1 for $2 ms (pid $HOLD_PID)"
            return 0
        fi
        kill -0 "$HOLD_PID" 2>/dev/null || break
        sleep 0.1
    done
    fail "wintest did not hold $1 within 20 s: [$(escape "$(cat "$out")")]"
    return 1
}

# Waits, bounded, for the holder of hold_file to let the file go and end.
expect_released() {
    local _
    for _ in $(seq 300); do
        kill -0 "$HOLD_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$HOLD_PID" 2>/dev/null; then
        kill "$HOLD_PID"
        wait "$HOLD_PID"
        fail "the holder still held the file after 30 s"
    else
        wait "$HOLD_PID"
        expect_eq "the holder's exit code" 0 "$?"
    fi
    HOLD_PID=
}

# Reads the window's controls into WINDOW_OUT; fails the case when the window never shows.
read_window() {
    if wintest controls "$PROG_CAPTION" "$WAIT_MS"; then
        WINDOW_OUT=$WINTEST_OUT
        return 0
    fi
    WINDOW_OUT=
    fail "the window \"$PROG_CAPTION\" did not appear"
    return 1
}

# A field of one control from WINDOW_OUT: control_field <name> <field>; text is the
# (escaped) rest of the line.
control_field() {
    local line
    line=$(printf '%s\n' "$WINDOW_OUT" | grep -m1 "^control name=$1 ")
    if [[ "$2" == text ]]; then
        printf '%s' "${line#* text=}"
    else
        printf '%s' "$line" | sed -n "s/.* $2=\([^ ]*\).*/\1/p"
    fi
}

# Reads the window until a control's field has the value: wait_control <name> <field>
# <value> <seconds>. WINDOW_OUT then holds the last reading.
wait_control() {
    local name=$1 field=$2 value=$3 seconds=$4 _
    for _ in $(seq $((seconds * 5))); do
        read_window || return 1
        [[ "$(control_field "$name" "$field")" == "$value" ]] && return 0
        sleep 0.2
    done
    fail "$name $field did not become [$value] within $seconds s"
    return 1
}

# Answers the program's message box, keeping its text (escaped) in MSGBOX_TEXT.
answer_msgbox() {
    MSGBOX_TEXT=
    if wintest msgbox "$PROG_NAME" "$WAIT_MS"; then
        MSGBOX_TEXT=$(printf '%s\n' "$WINTEST_OUT" | sed -n 's/^text=//p')
        MSGBOX_OUT=$WINTEST_OUT
        return 0
    fi
    MSGBOX_OUT=
    fail "no message box titled $PROG_NAME appeared"
    return 1
}

# The first line of the message box last answered, and the lines after it (escaped).
msgbox_first_line() { printf '%s\n' "$MSGBOX_OUT" | sed -n 's/^line=//p' | head -1; }
msgbox_rest() { printf '%s\n' "$MSGBOX_OUT" | sed -n 's/^line=//p' | tail -n +2; }

expect_exit() {
    wait_program "${2:-20}"
    expect_eq "exit code" "$1" "$PROG_RC"
}

# ---- files in the prefix ----------------------------------------------------------------------

# The demo game: demo/game into the game folder, demo/user into the per-user folder.
install_demo() {
    cp -r "$E2E_ROOT/demo/game/." "$(unixpath "$GAME_FOLDER")/"
    cp -r "$E2E_ROOT/demo/user/." "$(unixpath "$USER_GAME_FOLDER")/"
}

# Byte for byte: expect_same_file <what> <expected file> <file>
expect_same_file() {
    local what=$1 expected=$2 file=$3
    if [[ ! -f "$file" ]]; then
        fail "$what: $file is missing"
    elif cmp -s "$expected" "$file"; then
        say "ok   $what: same bytes as ${expected#"$E2E_ROOT"/}"
    else
        fail "$what: $file differs from $expected: $(cmp "$expected" "$file" 2>&1 | head -1)"
    fi
}

# The same bytes as this text: expect_file_text <what> <text> <file>
expect_file_text() {
    local what=$1 text=$2 file=$3
    if [[ ! -f "$file" ]]; then
        fail "$what: $file is missing"
        return
    fi
    local bytes
    # The x keeps the line ends at the end, which $( ) would drop.
    bytes=$(cat "$file" && printf x)
    expect_eq "$what" "$(escape "$text")" "$(escape "${bytes%x}")"
}

# The same files with the same bytes, nothing more or less: expect_same_tree <what> <expected
# folder> <folder> [diff options]
expect_same_tree() {
    local what=$1 expected=$2 folder=$3 differences
    differences=$(diff -r "${@:4}" "$expected" "$folder" 2>&1 | head -20)
    if [[ -z "$differences" ]]; then
        say "ok   $what: same files as $expected"
    else
        fail "$what differs from $expected:"$'\n'"$differences"
    fi
}

expect_absent() {
    if [[ -e "$2" ]]; then fail "$1: $2 exists"; else say "ok   $1: absent"; fi
}

# Writing is always done through a temporary file beside the target; none may survive a run.
expect_no_temporaries() {
    local left
    left=$(find "$@" -iname '*.tmp' 2>&1)
    expect_eq "temporary files left" "" "$left"
}

# Seconds and the full time with its fraction: a rewrite with the same bytes still shows.
mtime() { stat -c '%Y %y' "$1"; }

# FILE_ATTRIBUTE_READONLY as Windows programs see it, set and read through the prefix.
set_readonly() { timeout 30 "${WINE_TOOLS[@]}" attrib +r "$1" >/dev/null 2>&1; }
is_readonly() {
    local line
    line=$(timeout 30 "${WINE_TOOLS[@]}" attrib "$1" 2>/dev/null | tr -d '\r')
    # The attribute letters stand before the path.
    line=${line%%[A-Za-z]:\\*}
    [[ "$line" == *R* ]]
}
expect_readonly() {
    if is_readonly "$2"; then say "ok   $1: read-only"; else fail "$1: $2 is not read-only"; fi
}

# ---- list boxes -------------------------------------------------------------------------------

# Reads a list box of the window into LIST_ITEMS (one entry a line, escaped) and LIST_SELECTED
# (the selected index, -1 for none): read_list <control>
read_list() {
    LIST_ITEMS=
    LIST_SELECTED=
    wintest items "$PROG_CAPTION" "$1" "$WAIT_MS" || return 1
    LIST_SELECTED=$(printf '%s\n' "$WINTEST_OUT" | sed -n 's/^list .* selected=\(-*[0-9]*\)$/\1/p')
    LIST_ITEMS=$(printf '%s\n' "$WINTEST_OUT" | sed -n 's/^item=//p')
}

# The folder the folder list shows open: its entries from the root down to the selected one,
# indentation dropped, joined into a path ("C:\" "Games" "Zarn" gives C:\Games\Zarn), escaped
# as wintest prints it.
shown_folder() {
    local path="" index=0 item
    while IFS= read -r item; do
        ((index > LIST_SELECTED)) && break
        item=${item#"${item%%[! ]*}"}
        if ((index == 0)); then
            path=$item
        elif [[ "$path" == *"\\\\" ]]; then
            path+=$item
        else
            path+="\\\\$item"
        fi
        index=$((index + 1))
    done <<<"$LIST_ITEMS"
    printf '%s' "$path"
}

# Reads the folder list until it shows the folder open: wait_shown_folder <escaped path> <seconds>
wait_shown_folder() {
    local _
    for _ in $(seq $(($2 * 5))); do
        read_list Dir1 && [[ "$(shown_folder)" == "$1" ]] && return 0
        sleep 0.2
    done
    fail "Dir1 did not show [$1] within $2 s (shows [$(shown_folder)])"
    return 1
}

# The window's controls stand where the layout table puts them at a DPI (empty: Wine's
# default, 96); a screenshot of each case is kept for a person looking into a failure.
check_layout() {
    new_case "layout-${1:-default}dpi"
    set_dpi "$1"
    use_release_data
    start_program
    if read_window; then
        wintest layout "$PROG_CAPTION" "$WAIT_MS" || fail "the layout check found differences"
        command -v import >/dev/null && timeout 20 import -window root "$CASE_DIR/screen.png"
        wintest close "$PROG_CAPTION" "$WAIT_MS"
    fi
    expect_exit 0
}

# ---- a gate that must not open -----------------------------------------------------------------

# The gate's refusals that would otherwise let the program loose on a whole drive: a version
# file another program holds, and one whose first line names no version, both with no install
# path in the registry. An old galaxy and a manifest lie outside the game folder, where only a
# walk of the drive finds them, and must stay as they are.
check_gate_refusals() {
    local elsewhere old=$E2E_ROOT/demo/game/Orion\ Drift.galaxy
    elsewhere=$(unixpath 'C:\elsewhere')
    # With no install path the game folder is "\": a gate that wrongly opened would walk the
    # whole drive the program was started from, so the cases run from drive C.
    reset_game
    clear_install_path
    rm -rf "$elsewhere"
    mkdir -p "$elsewhere"
    cp "$old" "$elsewhere/x.galaxy"
    # The manifest's reference copy stays off drive C.
    printf 'TXT\r\nfileCount  1 \r\nfileName "x"\r\n\r\n' | tee "$elsewhere/galaxy.manifest" \
        >"$CASES_DIR/elsewhere.manifest"

    new_case_on_c version-file-held
    use_release_data
    # Longer than the retries on a shared file last: the read fails for good.
    if hold_file targetzarnver.txt 8000; then
        start_program /s
        if answer_msgbox; then
            expect_eq "message, first line" \
                'The game version file "targetzarnver.txt" cannot be read.' \
                "$(msgbox_first_line)"
            expect_contains "message, the system's reason" "Sharing violation" "$(msgbox_rest)"
        fi
        expect_exit 1 30
        expect_released
        expect_report_ends 'The game version file "targetzarnver.txt" cannot be read.' 1
    fi
    expect_elsewhere_untouched "$elsewhere" "$old"

    new_case_on_c version-file-first-line-empty
    use_release_data
    crlf_file "$CASE_DIR/targetzarnver.txt" "" "$GAME_VERSION"
    start_program /s
    # No game found and an empty target are two empty texts; they match nothing.
    answer_msgbox && expect_contains "message" "$(escape 'the game was not found at \')" \
        "$MSGBOX_TEXT"
    expect_exit 2
    expect_report_ends 'the game was not found at \' 2
    expect_elsewhere_untouched "$elsewhere" "$old"
    rm -rf "$elsewhere"
}

# args: the folder outside, the old galaxy copied there
expect_elsewhere_untouched() {
    expect_same_file "C:\\elsewhere\\x.galaxy" "$2" "$1/x.galaxy"
    expect_same_file "C:\\elsewhere\\galaxy.manifest" "$CASES_DIR/elsewhere.manifest" \
        "$1/galaxy.manifest"
    expect_no_temporaries "$1"
}
