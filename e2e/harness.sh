#!/usr/bin/env bash
# The harness's own promises, on any host: with E2E_NO_32BIT=1 a run behaves as on a host that
# cannot execute 32-bit code (the 32-bit runs skip, whatever the run requires, and 64-bit
# programs start through the 64-bit loader), every wait is bounded, and no program is started
# without a display.
# usage: harness.sh
source "$(dirname "$0")/lib.sh"
command -v xdpyinfo >/dev/null || skip "xdpyinfo is not installed"
# Facts of our own, so that the run's shared facts stay as they are.
E2E_WORK=$(mktemp -d)
trap 'rm -rf "$E2E_WORK"' EXIT

say "== the override stands in for a 64-bit-only host"
output=$(E2E_NO_32BIT=1 E2E_REQUIRED=1 bash -c '
    source "$1/lib.sh"
    load_host fresh
    printf "wine64=%s\n" "${WINE64[*]}"
    needs_bits 64 64
    say "64-bit runs go on"
    needs_bits 64 32
    say "32-bit runs go on"' _ "$E2E_DIR" 2>&1)
rc=$?
expect_eq "exit code of a 32-bit run" 77 "$rc"
expect_contains "its output" "SKIP: 32-bit executables not run: E2E_NO_32BIT=1" "$output"
expect_contains "its output" "64-bit runs go on" "$output"
expect_not_contains "its output" "32-bit runs go on" "$output"
if [[ -n "$(wine64_loader)" ]]; then
    expect_contains "the 64-bit command" "wine64=env WINELOADER=$(wine64_loader) $(wine64_loader)" \
        "$output"
fi

say ""
say "== the facts follow the override when it changes"
output=$(E2E_NO_32BIT=0 bash -c 'source "$1/lib.sh"; load_host; printf "%s" "$HOST_OVERRIDE"' \
    _ "$E2E_DIR" 2>&1)
expect_eq "override the facts were found with" 0 "$output"

say ""
say "== poll waits no longer than it is told and gives the command's last status"
started=$EPOCHREALTIME
poll 1 false
rc=$?
elapsed=$(((${EPOCHREALTIME/./} - ${started/./}) / 1000))
expect_eq "status of a command that never succeeds" 1 "$rc"
((elapsed >= 1000 && elapsed < 3000)) || fail "poll 1 took $elapsed ms"
poll 0 bash -c 'exit 7'
expect_eq "status of a command run once" 7 "$?"
tries=0
# shellcheck disable=SC2317  # called through poll
third_try() {
    tries=$((tries + 1))
    ((tries == 3))
}
poll 20 third_try
expect_eq "status once the command succeeds" 0 "$?"
expect_eq "runs of the command" 3 "$tries"

# args: what, the DISPLAY value ("unset": none), the reason expected
expect_no_display() {
    local what=$1 display=$2 reason=$3 output rc started
    say ""
    say "== $what"
    started=$(date +%s)
    output=$(
        if [[ "$display" == unset ]]; then unset DISPLAY; else export DISPLAY=$display; fi
        CASE_DIR=$E2E_WORK PROG_EXE=$E2E_WORK/absent.exe
        start_program /s
        say "the program was started"
    )
    rc=$?
    expect_eq "exit code" 1 "$rc"
    expect_contains "output" "no X display: $reason" "$output"
    expect_not_contains "output" "started" "$output"
    (($(date +%s) - started <= 15)) || fail "it took $(($(date +%s) - started)) s to stop"
}
expect_no_display "no DISPLAY" unset "DISPLAY is not set"
expect_no_display "an unreachable DISPLAY" :987 ":987 cannot be reached"

finish
