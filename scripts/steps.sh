# shellcheck shell=bash disable=SC2154  # the sourcing script sets zarn_script and zarn_steplog
# Steps that say what failed: sourced by the scripts beside it, which set zarn_script (their
# name, for the messages) and zarn_steplog (where a step's output goes) first.

# die <message> [log]: ends the script with exit code 1, saying why, with the log's last lines.
die() {
    echo "$zarn_script: $1" >&2
    if [[ -n "${2:-}" && -s "$2" ]]; then tail -n 30 "$2" | sed 's/^/  | /' >&2; fi
    exit 1
}

# step <what> <command...>: runs a command quietly; on failure shows what failed and the
# command's last lines.
step() {
    local what=$1 rc=0
    shift
    "$@" >"$zarn_steplog" 2>&1 || rc=$?
    ((rc == 0)) || die "$what failed (exit code $rc); its last lines:" "$zarn_steplog"
}
