# Checks: each says what was expected and what came, and counts in FAILURES when it fails.
# shellcheck shell=bash

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

# Ends the scenario: exit code 1 when a check failed.
finish() {
    if ((FAILURES)); then
        say "$FAILURES check(s) failed"
        exit 1
    fi
    say "all checks passed"
    exit 0
}

# ---- files -------------------------------------------------------------------------------------

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

# FILE_ATTRIBUTE_READONLY as Windows programs see it (is_readonly: prefix.sh).
expect_readonly() {
    if is_readonly "$2"; then say "ok   $1: read-only"; else fail "$1: $2 is not read-only"; fi
}

# Every file and folder below the folders as it stands: its path, type, modification time to
# the nanosecond, size and, for a file, its bytes' digest, one entry a line: snapshot
# <folder>... A file written back with the same bytes, or one made and removed again, still
# shows in a folder's time.
snapshot() {
    local entry
    find "$@" -printf '%p %y %T@ %s\n' | LC_ALL=C sort
    while IFS= read -r -d '' entry; do
        printf 'sha256 %s %s\n' "$(sha256sum <"$entry" | cut -d' ' -f1)" "$entry"
    done < <(find "$@" -type f -print0 | LC_ALL=C sort -z)
}

# The folders as the snapshot kept in the file found them: expect_snapshot <what> <file>
# <folder>...
expect_snapshot() {
    local what=$1 kept=$2 differences
    shift 2
    differences=$(diff "$kept" <(snapshot "$@") | head -20)
    if [[ -z "$differences" ]]; then
        say "ok   $what: every file and folder as before, times included"
    else
        fail "$what: changed since the snapshot:"$'\n'"$differences"
    fi
}
