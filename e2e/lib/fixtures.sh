# What a case starts from: its folder with a copy of the program, the data files, a profile
# folder named outside the code page, a folder deeper than the classic path length.
# shellcheck shell=bash disable=SC2034,SC2153  # variables set here and in begin

# A fresh working folder for one case, holding a copy of the program as a player's unzipped
# folder would: new_case <name>; sets CASE and CASE_DIR. The data files are the case's to
# write.
new_case() {
    CASE=$1
    CASE_DIR=$CASES_DIR/$CASE
    mkdir -p "$CASE_DIR"
    cp "$PROG_COPY" "$CASE_DIR/"
    say ""
    say "== $CASE"
}

# The same with the case's folder on drive C: a program started there sees "\" as the
# prefix's C:\, not the host's root through Z:.
new_case_on_c() {
    new_case "$1"
    CASE_DIR=$(unixpath "C:\\cases\\$1")
    rm -rf "$CASE_DIR"
    mkdir -p "$CASE_DIR"
    cp "$PROG_COPY" "$CASE_DIR/"
}

# The release data when data/ holds it, the program's own small data otherwise.
use_release_data() {
    local file
    for file in "${PROG_DATAFILES[@]}"; do
        if [[ ! -f "$E2E_DATA/$file" ]]; then
            say "(no release data $E2E_DATA/$file: using the scenarios' own data)"
            write_program_data "$CASE_DIR" "$GAME_VERSION"
            return
        fi
    done
    for file in "${PROG_DATAFILES[@]}"; do cp "$E2E_DATA/$file" "$CASE_DIR/"; done
}

# A profile folder named outside the code page.
readonly PROFILE='C:\users\张伟'

# The profile folder named outside the code page as the local application data, with an old
# galaxy in its per-user galaxy folder, and one in the default per-user folder, which is no
# galaxy folder now: use_profile_outside_the_code_page <old galaxy>. Sets PROFILE_GALAXIES
# (the Unix path of its galaxy folder); the galaxies are PROFILE_GALAXIES/maps/Far.galaxy and
# Stale.galaxy in the default per-user folder.
use_profile_outside_the_code_page() {
    rm -rf "$(unixpath "$PROFILE")"
    set_local_apps "$PROFILE\\AppData\\Local"
    PROFILE_GALAXIES=$(unixpath "$PROFILE\\AppData\\Local\\Corvatek\\Halcyrion")
    mkdir -p "$PROFILE_GALAXIES/maps"
    cp "$1" "$PROFILE_GALAXIES/maps/Far.galaxy"
    cp "$1" "$(unixpath "$USER_GAME_FOLDER")/Stale.galaxy"
}

# Local application data back at Wine's default, and the profile gone.
drop_profile_outside_the_code_page() {
    set_local_apps ""
    rm -rf "$(unixpath "$PROFILE")"
}

# A folder 60 levels below the game folder, its path far past 260 characters: makes it and
# prints its Windows path.
make_deep_folder() {
    local level folder=$GAME_FOLDER
    for level in $(seq -w 1 60); do
        folder+="\\level$level-the-long-way-down-to-the-bottom-of-the-map"
    done
    say "the folder's path has ${#folder} characters" >&2
    mkdir -p "$(unixpath "$folder")"
    printf '%s' "$folder"
}

# The game installed in the per-user folder, both galaxy folders one, holding the galaxies
# Alpha and maps\Beta with the bytes of a file: install_in_user_folder <file>
install_in_user_folder() {
    reset_game
    install_at "$USER_GAME_FOLDER"
    cp "$1" "$user/Alpha.galaxy"
    mkdir -p "$user/maps"
    cp "$1" "$user/maps/Beta.galaxy"
    use_release_data
}
