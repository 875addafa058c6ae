# How Wine starts on this host.
# shellcheck shell=bash disable=SC2034  # variables set here for the scenarios
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
WINE32=() WINE64=() WINE64_CMD=() WINESERVER=(wineserver)

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
# shellcheck disable=SC2016  # the loader is the inner shell's $0
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

# The command that starts a program of the given bitness, a word a line: wine_of <bits>.
# Take it with: mapfile -t command < <(wine_of <bits>)
wine_of() {
    if (($1 == 32)); then printf '%s\n' "${WINE32[@]}"; else printf '%s\n' "${WINE64[@]}"; fi
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

# cmd of the executable's bitness.
wine_cmd() {
    if ((EXE_BITS == 64)); then
        timeout 30 "${WINE64_CMD[@]}" cmd /c "$@"
    else
        timeout 30 "${WINE32[@]}" cmd /c "$@"
    fi
}

# The environment as a program of our executable's bitness sees it: sets HOSTENV[name]=value.
declare -A HOSTENV
read_hostenv() {
    HOSTENV=()
    local line
    while IFS= read -r line; do
        line=${line%$'\r'}
        [[ "$line" == *=* ]] && HOSTENV[${line%%=*}]=${line#*=}
    done < <(wine_cmd set)
}
