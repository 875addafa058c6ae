# The program's window through wintest, the test helper run in the same prefix: its controls,
# its list boxes, its buttons and its message boxes.
# shellcheck shell=bash disable=SC2034  # variables set here for the scenarios

# Runs wintest in the prefix; sets WINTEST_OUT to what it printed, which goes to the log too.
wintest() {
    local rc try
    # Wine's launcher sometimes fails to start a program on a loaded machine; wintest then
    # never ran, and trying again cannot repeat what it does.
    for try in 1 2 3; do
        WINTEST_OUT=$(timeout 60 "${WINE_EXE[@]}" "$WINTEST" "$@" 2>/dev/null)
        rc=$?
        [[ "$WINTEST_OUT" == *"Application could not be started"* ]] || break
        say "wine could not start wintest (try $try)"
    done
    say "wintest $1 -> $rc"
    [[ -n "$WINTEST_OUT" ]] && printf '%s\n' "$WINTEST_OUT" | sed 's/^/  | /'
    return $rc
}

# ---- controls ----------------------------------------------------------------------------------

# One reading of the window's controls into WINDOW_OUT (empty when the window never showed).
window_read() {
    if wintest controls "$PROG_CAPTION" "$WAIT_MS"; then
        WINDOW_OUT=$WINTEST_OUT
        return 0
    fi
    WINDOW_OUT=
    return 1
}

# Reads the window's controls into WINDOW_OUT; fails the case when the window never shows.
read_window() {
    window_read && return 0
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
    local name=$1 field=$2 value=$3 seconds=$4
    poll "$seconds" control_reads "$name" "$field" "$value" && return 0
    if [[ -z "$WINDOW_OUT" ]]; then
        fail "the window \"$PROG_CAPTION\" did not appear"
    else
        fail "$name $field did not become [$value] within $seconds s"
    fi
    return 1
}

control_reads() { window_read && [[ "$(control_field "$1" "$2")" == "$3" ]]; }

# Presses a button whose work hands the turn to another one: waits until the other is enabled
# and checks the pressed one is disabled then. press_until <button> <other> <seconds> <work>
press_until() {
    local button=$1 other=$2 seconds=$3 work=$4
    wintest click "$PROG_CAPTION" "$button" "$WAIT_MS" || fail "could not press $button"
    wait_control "$other" enabled 1 "$seconds" || return 1
    expect_eq "$button enabled after $work" 0 "$(control_field "$button" enabled)"
}

# ---- message boxes -----------------------------------------------------------------------------

# Answers the program's message box, with OK unless told (a question takes yes or no):
# answer_msgbox [ok|yes|no]. Sets MSGBOX_TEXT to its text (escaped) and MSGBOX_OUT to all
# wintest printed of it.
# shellcheck disable=SC2120  # the answer is optional
answer_msgbox() {
    MSGBOX_TEXT=
    if wintest msgbox "$PROG_NAME" "${1:-ok}" "$WAIT_MS"; then
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

# ---- list boxes -------------------------------------------------------------------------------

# Reads a list box of the window: read_list <control>. Sets LIST_ITEMS (one entry a line,
# escaped) and LIST_SELECTED (the selected index, -1 for none).
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

# Reads the folder list until it shows the folder open: wait_shown_folder <escaped path>
# <seconds>. LIST_ITEMS and LIST_SELECTED then hold the last reading.
wait_shown_folder() {
    poll "$2" shows_folder "$1" && return 0
    fail "Dir1 did not show [$1] within $2 s (shows [$(shown_folder)])"
    return 1
}

shows_folder() { read_list Dir1 && [[ "$(shown_folder)" == "$1" ]]; }
