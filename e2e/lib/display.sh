# The X display: a Windows program without one cannot make its window, even in a silent run,
# and ends with exit code 1 while nobody sees why.
# shellcheck shell=bash disable=SC2034  # variables set here for the scenarios

XVFB_PID=

# The run stops here first, saying why.
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

# Starts an Xvfb of our own and exports its DISPLAY; cleanup (run.sh) ends it.
start_xvfb() {
    local fdfile=$E2E_WORK/xvfb.$$.display errors=$E2E_WORK/xvfb.$$.errors
    : >"$fdfile"
    # -displayfd lets the server pick a free display and tell us which.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fdfile" 2>"$errors" &
    XVFB_PID=$!
    # Until it names the display, or ends without.
    poll 10 xvfb_answered "$fdfile"
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

xvfb_answered() { [[ -s "$1" ]] || ended "$XVFB_PID"; }
