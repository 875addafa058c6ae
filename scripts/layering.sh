#!/usr/bin/env bash
# Checks the rooms' include rules, which the compilers do not: a Windows header outside a
# win32/ folder would break the native build only on the day someone includes it from a
# portable file, and a file-system header in the engine would go unseen. Prints each breach
# with its file and line; fails when there is one.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Every include of the C++ sources, as "file:line:header" with the header's <> or "".
includes() {
    find hostenv galmend tallyhold bench e2e fuzz -name '*.cpp' -o -name '*.h' | sort |
        xargs grep -Hn '^[[:space:]]*#[[:space:]]*include' |
        sed -E 's/^([^:]*:[0-9]*):[[:space:]]*#[[:space:]]*include[[:space:]]*([<"][^>"]*[>"]).*/\1:\2/'
}

breaches=0
breach() {
    echo "$1: includes $2, $3"
    breaches=$((breaches + 1))
}

# room (a path prefix; its tests/ folder aside), what it may include (an extended regex over
# the header with its <> or ""), and what the rule is, as a breach names it.
rules=(
    'galmend/convert/|^<[a-z_]+>$|^"hostenv/(text|failure|bytes|lineends)\.h"$|^"[a-z0-9_]+\.h"$'
    'the engine may include only the standard library and hostenv'"'"'s text utilities'
    'hostenv/backup/|^<[a-z_]+>$|^<zlib\.h>$|^"hostenv/[a-z0-9_]+\.h"$|^"hostenv/backup/[a-z0-9_]+\.h"$|^"[a-z0-9_]+\.h"$'
    'backup sets may include only the standard library, hostenv'"'"'s portable core and zlib'
    'hostenv/|^<[a-z_]+>$|^<(emmintrin|cpuid)\.h>$|^"hostenv/[a-z0-9_]+\.h"$|^"[a-z0-9_]+\.h"$'
    'hostenv'"'"'s portable core may include nothing of Windows, POSIX or the programs'
)

windows='^<(windows|commctrl|shlobj|shellapi|psapi|process|io)\.h>$'
while IFS=: read -r file line header; do
    where="$file:$line"
    if [[ "$header" =~ $windows && "$file" != */win32/* ]]; then
        breach "$where" "$header" "and only files under a win32/ folder include Windows headers"
    fi
    for ((i = 0; i < ${#rules[@]}; i += 2)); do
        room="${rules[i]%%|*}"
        allowed="${rules[i]#*|}"
        [[ "$file" == "$room"* ]] || continue
        rest="${file#"$room"}"
        # Tests, and the host's own platform folders, have rules of their own above.
        [[ "$rest" == tests/* || "$rest" == */tests/* || "$rest" == win32/* || "$rest" == posix/* ]] &&
            continue
        if [[ ! "$header" =~ $allowed ]]; then
            breach "$where" "$header" "but ${rules[i + 1]}"
        fi
        break
    done
done < <(includes)

if ((breaches > 0)); then
    echo "$breaches include(s) break the layering"
    exit 1
fi
echo "The layering holds."
