# Printing, and texts as the programs and wintest write them.
# shellcheck shell=bash

say() { printf '%s\n' "$*"; }

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
