#!/usr/bin/env bash
# The Windows side's unit tests (GoogleTest, built with mingw-w64) run in the Wine prefix.
# usage: hostenv-win32-tests.sh <exe bits> <prefix bits>
source "$(dirname "$0")/lib.sh"
EXE_BITS=$1
PREFIX_BITS=$2
command -v wine >/dev/null || skip "wine is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
load_host
needs_bits "$EXE_BITS" "$PREFIX_BITS"
mapfile -t wine < <(wine_of "$EXE_BITS")
build=$E2E_BUILD64
((EXE_BITS == 32)) && build=$E2E_BUILD32
PROG_EXE=$build/hostenv/win32/tests/hostenv_win32_tests.exe
[[ -f "$PROG_EXE" ]] || skip "not built: $PROG_EXE"
make_prefix "$PREFIX_BITS" || exit 1
export WINEPREFIX=$E2E_WORK/prefix$PREFIX_BITS
CASES_DIR=$E2E_WORK/cases/hostenv_win32_tests-exe$EXE_BITS-prefix$PREFIX_BITS
rm -rf "$CASES_DIR"
mkdir -p "$CASES_DIR"
take_program_copy
trap cleanup EXIT
# The label tests make real controls.
start_xvfb

# A Unix symbolic link to a file outside its folder, for the link test; Wine shows it as the
# file it leads to, and only its final path tells.
real=$(realpath "$CASES_DIR")
mkdir -p "$real/links" "$real/outside"
printf 'outside\n' >"$real/outside/outside.txt"
printf 'plain\n' >"$real/links/plain.txt"
ln -s "$real/outside/outside.txt" "$real/links/file.link"
# Names Windows forbids, as a Linux folder may hold them: the tests reach them through their
# short names, and leave the one with a tab, which nothing reaches, as it was.
forbidden=$real/forbidden
mkdir -p "$forbidden/fo\"lder"
for name in 'q"uote.galaxy' $'line\nfeed.galaxy' 'fo"lder/inner.galaxy'; do
    printf 'forbidden\n' >"$forbidden/$name"
done
printf 'plain\n' >"$forbidden/plain.galaxy"
printf 'plain\n' >"$forbidden/tab"$'\t'"name.galaxy"
windows_of() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
export HOSTENV_LINKS HOSTENV_LINKS_OUTSIDE HOSTENV_FORBIDDEN
HOSTENV_LINKS=$(windows_of "$real/links")
HOSTENV_LINKS_OUTSIDE=$(windows_of "$real/outside")
HOSTENV_FORBIDDEN=$(windows_of "$forbidden")

# Wine checks its heap as it goes (freed blocks filled, then checked): mingw-w64 has no
# AddressSanitizer for Windows, so a read of freed memory shows here instead.
(cd "$CASES_DIR" && WINEDEBUG=warn+heap exec timeout -k 5 120 "${wine[@]}" \
    "$(basename "$PROG_EXE")") >"$CASES_DIR/tests.out" 2>"$CASES_DIR/wine.err"
rc=$?
sed 's/\r$//; s/^/  | /' "$CASES_DIR/tests.out"
expect_eq "exit code" 0 "$rc"
output=$(cat "$CASES_DIR/tests.out")
expect_contains "output" "[  PASSED  ]" "$output"
expect_not_contains "output" "FAILED" "$output"
expect_not_contains "output (the link and name tests must run)" "SKIPPED" "$output"
expect_eq "what Wine's heap check found" "" "$(grep -m 5 'heap' "$CASES_DIR/wine.err")"
expect_eq "the file the link leads to" "outside" "$(cat "$real/outside/outside.txt")"
# What the name tests removed is gone, under no other name; the rest is as it was.
expect_eq "the names left" $'fo"lder\nplain.galaxy\ntab\tname.galaxy' "$(LC_ALL=C ls -A "$forbidden")"
expect_eq "the forbidden-named folder" "" "$(ls -A "$forbidden/fo\"lder")"
expect_file_text "plain.galaxy" $'plain\n' "$forbidden/plain.galaxy"
expect_file_text "the name with a tab" $'plain\n' "$forbidden/tab"$'\t'"name.galaxy"

finish
