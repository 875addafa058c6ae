# tallyhold, the manifest manager, as the scenarios see it.
# shellcheck shell=bash disable=SC2034
PROG_NAME=tallyhold
PROG_EXE_REL=tallyhold/win32/tallyhold.exe
PROG_CAPTION="orvel's Zarn fortrel Galaxy manifest manager"
PROG_DATAFILES=(targetzarnver.txt)

# A run adds nothing after its last line.
program_notes() { :; }

write_program_data() {
    local dir=$1 version=$2
    crlf_file "$dir/targetzarnver.txt" "$version"
}

# A fresh game with six galaxies in both folders, some in subfolders (Fortrel, maps, mine).
plant_galaxies() {
    reset_game
    mkdir -p "$game/Fortrel" "$game/maps" "$user/mine"
    local file
    for file in "$game/Zeta.galaxy" "$game/alpha.galaxy" "$game/Fortrel/Deep Reach.galaxy" \
        "$game/maps/Beta Map.galaxy" "$user/My Map.galaxy" "$user/mine/Gamma.galaxy"; do
        crlf_file "$file" "zarn galaxy" "version 4"
    done
}

# The exact bytes of a manifest listing these galaxy names: manifest_text <name>...
manifest_text() {
    local name
    printf 'TXT\r\nfileCount  %d \r\n' "$#"
    for name in "$@"; do printf 'fileName "%s"\r\n' "$name"; done
    printf '\r\n'
}

# The file holds exactly the manifest of these names: expect_manifest <what> <file> <name>...
expect_manifest() {
    local what=$1 file=$2 text
    shift 2
    # The x keeps the line ends at the end, which $( ) would drop.
    text=$(manifest_text "$@" && printf x)
    expect_file_text "$what" "${text%x}" "$file"
}
