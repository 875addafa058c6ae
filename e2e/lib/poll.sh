# The one bounded wait of the harness.
# shellcheck shell=bash

# Runs the command until it succeeds or the seconds have passed, a tenth of a second apart:
# poll <seconds> <command>... Returns the command's last status, so that a wait that ran out
# fails; the command runs at least once.
poll() {
    local seconds=$1 status
    shift
    local deadline=$((${EPOCHREALTIME/./} + seconds * 1000000))
    while true; do
        "$@" && return 0
        status=$?
        ((${EPOCHREALTIME/./} < deadline)) || return "$status"
        sleep 0.1
    done
}

# The process has ended: ended <pid>.
ended() { ! kill -0 "$1" 2>/dev/null; }
