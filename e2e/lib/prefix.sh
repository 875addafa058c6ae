# The Wine prefixes, their registry and the game installed in them.
# shellcheck shell=bash disable=SC2034  # variables set here for the scenarios

# Makes the prefix of the given architecture unless it is there; with "fresh", always anew.
# flock: parallel test runs make it once. A prefix made before wine32 was installed cannot
# start 32-bit programs, which is why a test run starts from a fresh one.
make_prefix() {
    local bits=$1 mode=${2:-}
    local prefix=$E2E_WORK/prefix$bits log=$E2E_WORK/prefix$bits.log
    mkdir -p "$E2E_WORK"
    (
        flock -w 300 9 || { say "timed out waiting for the prefix lock"; exit 1; }
        [[ "$mode" == fresh ]] && rm -rf "$prefix"
        [[ -f "$prefix/.e2e-ready" ]] && exit 0
        rm -rf "$prefix"
        local arch=win64 wine
        ((bits == 32)) && arch=win32
        mapfile -t wine < <(wine_of "$bits")
        say "making the $arch prefix $prefix with ${wine[*]}"
        if ! WINEPREFIX=$prefix WINEARCH=$arch DISPLAY='' timeout 180 "${wine[@]}" wineboot \
            --init >"$log" 2>&1; then
            say "wineboot failed; its last lines:"
            tail -n 20 "$log" | sed 's/^/  | /'
            exit 1
        fi
        # Without a window manager Wine waits two seconds for every closed window to be
        # withdrawn; unmanaged windows close at once.
        if ! WINEPREFIX=$prefix timeout 30 "${wine[@]}" reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /t REG_SZ /d N /f >"$log" 2>&1; then
            say "cannot set up the prefix: reg add failed; its last lines:"
            tail -n 20 "$log" | sed 's/^/  | /'
            exit 1
        fi
        WINEPREFIX=$prefix timeout 60 "${WINESERVER[@]}" -w
        touch "$prefix/.e2e-ready"
    ) 9>"$E2E_WORK/prefix$bits.lock"
}

# A Windows path inside the prefix as a Unix path (C:\a\b -> $WINEPREFIX/drive_c/a/b).
unixpath() {
    local path=${1#[Cc]:}
    printf '%s' "$WINEPREFIX/drive_c${path//\\//}"
}

# Wine names the profile folder after the Unix user.
USER_APPS="C:\\users\\$(id -un)\\AppData\\Local"
USER_GAME_FOLDER="$USER_APPS\\Corvatek\\Halcyrion"

# ---- the registry --------------------------------------------------------------------------

reg() { timeout 30 "${WINE_TOOLS[@]}" reg "$@" >/dev/null 2>&1; }

# The install path where a 32-bit installer writes it, and nothing in the 64-bit view.
set_install_path() {
    clear_install_path
    reg_setting "$GAME_REGKEY" Path REG_SZ "$GAME_FOLDER" /reg:32
}

# The install path pointing at another folder, with the stand-in game there: install_at <Windows
# folder>
install_at() {
    reg add "$GAME_REGKEY" /v Path /t REG_SZ /d "$1" /f /reg:32 ||
        fail "could not write the install path $1"
    cp "$HALCYRION" "$(unixpath "$1")/Halcyrion.exe"
}

clear_install_path() {
    reg delete "$GAME_REGKEY" /f /reg:32
    reg delete "$GAME_REGKEY" /f /reg:64
}

# A registry value set, or removed when the data is empty, and checked, so that a write the
# wine server dropped fails here and not as a puzzling result later: reg_setting <key> <name>
# <type> <data> [registry view option]
reg_setting() {
    poll 60 reg_setting_once "$@" || fail "could not set $1\\$2 to [$4]"
}

# One try; after a failed one the server is let settle first.
reg_setting_once() {
    local key=$1 name=$2 type=$3 data=$4 view=("${@:5}")
    if [[ -n "$data" ]]; then
        reg add "$key" /v "$name" /t "$type" /d "$data" /f "${view[@]}" &&
            reg query "$key" /v "$name" "${view[@]}" && return 0
    else
        reg delete "$key" /v "$name" /f "${view[@]}"
        reg query "$key" /v "$name" "${view[@]}" || return 0
    fi
    timeout 20 "${WINESERVER[@]}" -w 2>/dev/null
    return 1
}

# The Windows version the prefix presents ("winxp", "win7"...); empty: Wine's default.
set_winver() { reg_setting 'HKCU\Software\Wine' Version REG_SZ "$1"; }

# The display's DPI the prefix presents (LogPixels); empty: Wine's default, 96.
set_dpi() { reg_setting 'HKCU\Control Panel\Desktop' LogPixels REG_DWORD "$1"; }

# A text as a .reg file's hex(2) value: its UTF-16LE bytes with the ending null character.
reg_hex_text() {
    printf '%s\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' |
        sed 's/^,//; s/,$//'
}

# Imports registry lines with the prefix's regedit: import_reg <line>... The file is
# UTF-16LE with a byte order mark, as regedit writes it, so that any name survives.
import_reg() {
    local file=$CASES_DIR/import.reg
    {
        printf '\xff\xfe'
        printf '%s\r\n' "Windows Registry Editor Version 5.00" "" "$@" | iconv -f UTF-8 -t UTF-16LE
    } >"$file"
    # Now and then regedit fails while the prefix's server is still ending the program
    # before it: once the server is done, the import is tried once more.
    regedit_import || { timeout 20 "${WINESERVER[@]}" -w 2>/dev/null; regedit_import; } ||
        fail "regedit /S could not import $file"
}
regedit_import() {
    (cd "$CASES_DIR" && timeout 30 "${WINE_TOOLS[@]}" regedit /S import.reg >/dev/null 2>&1)
}

# The folder SHGetFolderPath gives for the per-user local application data: set_local_apps
# <folder>; empty: Wine's default. Wine reads the user's "User Shell Folders" value
# (REG_EXPAND_SZ) and copies what it finds to "Shell Folders" (REG_SZ); both are set, as
# Windows keeps them in step.
set_local_apps() {
    local key='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer'
    local user=$1 shown=$1
    if [[ -z "$user" ]]; then
        user='%USERPROFILE%\AppData\Local'
        shown=$USER_APPS
    fi
    import_reg "[$key\\User Shell Folders]" "\"Local AppData\"=hex(2):$(reg_hex_text "$user")" \
        "" "[$key\\Shell Folders]" "\"Local AppData\"=\"${shown//\\/\\\\}\""
}

# ---- the game --------------------------------------------------------------------------------

# The stand-in game in the game folder, an empty per-user game folder, no backup set of an
# earlier change by either program, the install path written, the Windows version, the DPI and
# the per-user folders at Wine's default.
reset_game() {
    rm -rf "$WINEPREFIX/drive_c/Games"
    mkdir -p "$(unixpath "$GAME_FOLDER")"
    cp "$HALCYRION" "$(unixpath "$GAME_FOLDER")/Halcyrion.exe"
    rm -rf "$(unixpath "$USER_APPS")/Corvatek" "$(unixpath "$USER_APPS")/galmend backups" \
        "$(unixpath "$USER_APPS")/tallyhold backups"
    mkdir -p "$(unixpath "$USER_GAME_FOLDER")"
    set_install_path
    set_winver ""
    set_dpi ""
    set_local_apps ""
}

# The demo game: demo/game into the game folder, demo/user into the per-user folder.
install_demo() {
    cp -r "$E2E_ROOT/demo/game/." "$(unixpath "$GAME_FOLDER")/"
    cp -r "$E2E_ROOT/demo/user/." "$(unixpath "$USER_GAME_FOLDER")/"
}

# FILE_ATTRIBUTE_READONLY as Windows programs see it, set and read through the prefix.
set_readonly() { timeout 30 "${WINE_TOOLS[@]}" attrib +r "$1" >/dev/null 2>&1; }
is_readonly() {
    local line
    line=$(timeout 30 "${WINE_TOOLS[@]}" attrib "$1" 2>/dev/null | tr -d '\r')
    # The attribute letters stand before the path.
    line=${line%%[A-Za-z]:\\*}
    [[ "$line" == *R* ]]
}
