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
