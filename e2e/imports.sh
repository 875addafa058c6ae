#!/usr/bin/env bash
# The players' executables need no DLL beyond Windows' own: a mingw runtime DLL (libstdc++,
# libgcc, libwinpthread...) in their import tables would stop them on a player's machine.
# usage: imports.sh
source "$(dirname "$0")/lib.sh"

readonly WINDOWS_DLLS=" KERNEL32.DLL USER32.DLL GDI32.DLL COMCTL32.DLL SHELL32.DLL VERSION.DLL \
OLE32.DLL OLEAUT32.DLL ADVAPI32.DLL MSVCRT.DLL "

# args: objdump for the architecture, executable
check_imports() {
    local objdump=$1 exe=$2 dlls dll
    command -v "$objdump" >/dev/null || skip "$objdump is not installed"
    [[ -f "$exe" ]] || skip "not built: $exe"
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: *//p' | tr -d '\r')
    if [[ -z "$dlls" ]]; then
        fail "$exe: $objdump found no imported DLL"
        return
    fi
    say "$exe imports: ${dlls//$'\n'/ }"
    for dll in $dlls; do
        [[ "$WINDOWS_DLLS" == *" ${dll^^} "* ]] || fail "$exe imports $dll, which Windows lacks"
    done
}

for program in galmend/win32/galmend.exe tallyhold/win32/tallyhold.exe; do
    check_imports i686-w64-mingw32-objdump "$E2E_BUILD32/$program"
    check_imports x86_64-w64-mingw32-objdump "$E2E_BUILD64/$program"
done

finish
