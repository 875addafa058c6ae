# galmend, the map updater, as the scenarios see it. Another program is described by a file
# like this one, program-<name>.sh, and its own <name>-*.sh scenarios.
# shellcheck shell=bash disable=SC2034
PROG_NAME=galmend
PROG_EXE_REL=galmend/win32/galmend.exe
PROG_CAPTION="orvel's zarn map updater"
PROG_DATAFILES=(oldstruct.txt newstruct.txt "original zarn galaxies.txt" targetzarnver.txt)

# Small definitions that load cleanly: start-up only needs them to be readable.
write_program_data() {
    local dir=$1 version=$2
    crlf_file "$dir/oldstruct.txt" "zarn galaxy" "version 3" "planet \$2" "name" "owner"
    crlf_file "$dir/newstruct.txt" "zarn galaxy" "version 4" "planet \$3" "name" "owner" " #"
    crlf_file "$dir/original zarn galaxies.txt" "Halcyrion Prime.galaxy"
    crlf_file "$dir/targetzarnver.txt" "$version"
}

# Presses find in the window and checks the stage and the count: press_find <found>
press_find() {
    press_until Command1 Command2 20 find || return 1
    expect_eq "Label8 (stage) after find" " 1" "$(control_field Label8 text)"
    expect_eq "Label6 (found)" "$1" "$(control_field Label6 text)"
}

# What a fix adds to its report after the count line given: once it rewrote any galaxy, the
# line that names its backup set.
program_notes() { if [[ "$1" =~ ^Rewrote\ [1-9] ]]; then kept_line; fi; }

# That line as the last run's report must have it. The set's name is the fix's start time and
# its run, read from the report and checked: a line naming anything else shows as a difference.
kept_line() {
    local set stamp='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}-[0-9]{2}-[0-9]{2} run [0-9]+'
    set=$(program_report | sed -n \
        's/^The old galaxies are kept in \(.*\); galmend \/restore puts them back\.$/\1/p' | head -1)
    [[ "$set" =~ \\galmend\ backups\\${stamp}\.zip$ ]] ||
        set="<a set in galmend backups named after the fix's start and run>"
    printf '%s\n' "The old galaxies are kept in $set; galmend /restore puts them back."
}
