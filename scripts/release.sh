#!/usr/bin/env bash
# Builds the release of the last commit into dist/:
#   zarntools-<version>-win32.zip, -win64.zip          both programs, stripped, each with a
#                                                       .gnu_debuglink to its debug file; the
#                                                       data files, readme.txt, CHANGELOG.md
#   zarntools-<version>-win32-symbols.zip, -win64-...   galmend.debug and tallyhold.debug, in
#                                                       the same folder name as the programs
#   SHA256SUMS                                          the four zips' checksums
# Two clones of one commit, wherever they lie, give the same bytes: every time is the last
# commit's (SOURCE_DATE_EPOCH), no build folder reaches the executables, and the zips hold
# their files in one order with fixed times and permissions. Before dist/ is replaced, the
# script checks what it wrote (see check_release); a step that fails stops it with the tool's
# last lines, and dist/ is then as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build/release
zarn_script=release
zarn_steplog=$root/build/release-step.log
mkdir -p build
. scripts/steps.sh
. scripts/deps.sh
zarn_ensure_packages "${zarn_release_packages[@]}" ||
    die "installing the Debian packages failed (see apt's lines above)"

# A release is of a commit: what is not committed would be in the zips under its name.
[[ -z "$(git status --porcelain)" ]] ||
    die "the clone has changes that are not committed (git status); commit or stash them first"
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

# zipfolder <folder> <zip>: the folder's files and folders in one order, each with the
# commit's time and the same permissions, nothing of the build machine's users.
zipfolder() {
    find "$1" -mindepth 1 -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
    find "$1" -mindepth 1 -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    step "zipping $(basename "$2")" zipsorted "$1" "$2"
}
zipsorted() { (cd "$1" && find . -mindepth 1 | sed 's|^\./||' | sort | zip -X -9 -q "$2" -@); }

# check_release <folder>: what a player and a developer rely on, read back from the zips.
check_release() {
    local dist=$1 check=$work/check bits tools folder zip file program exe debug address line
    step "checking SHA256SUMS" sums "$dist" -c --strict SHA256SUMS
    for bits in 32 64; do
        tools=$(toolsof $bits)
        folder=$check/win$bits/zarntools-$version-win$bits
        mkdir -p "$check/win$bits"
        # The symbols beside the programs, as a developer unpacks both zips into one folder.
        for zip in "zarntools-$version-win$bits.zip" "zarntools-$version-win$bits-symbols.zip"; do
            step "unpacking $zip" unzip -q -o "$dist/$zip" -d "$check/win$bits"
        done
        for file in readme.txt CHANGELOG.md; do
            [[ -f "$folder/$file" ]] || die "the $bits-bit zip holds no $file"
        done
        head -n 1 "$folder/readme.txt" | grep -qF " $version " ||
            die "the $bits-bit zip's readme.txt does not name the version $version"
        for program in galmend tallyhold; do
            exe=$folder/$program.exe debug=$folder/$program.debug
            step "reading $program.exe's sections ($bits-bit)" "$tools-objdump" -h -f "$exe"
            ! grep -q ' \.debug_' "$zarn_steplog" || die "$program.exe ($bits-bit) holds debug sections"
            ! grep -q 'HAS_SYMS' "$zarn_steplog" || die "$program.exe ($bits-bit) holds a symbol table"
            grep -q ' \.gnu_debuglink ' "$zarn_steplog" ||
                die "$program.exe ($bits-bit) has no .gnu_debuglink"
            step "reading $program.debug's sections ($bits-bit)" "$tools-objdump" -h "$debug"
            grep -q ' \.debug_info ' "$zarn_steplog" || die "$program.debug ($bits-bit) has no .debug_info"
            step "reading $program.exe's version resource ($bits-bit)" strings -e l "$exe"
            for line in "$version.0" "$maker" \
                "Copyright (C) $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y) $maker"; do
                grep -qxF "$line" "$zarn_steplog" ||
                    die "$program.exe ($bits-bit) does not say \"$line\" in its version resource"
            done
            icons "build/release-win$bits/$program/win32/$program.ico"
        done
        # A crash address becomes its source file and line through the debug file, which
        # addr2line finds by the stripped program's .gnu_debuglink.
        step "finding galmend::galaxysets in galmend.debug ($bits-bit)" "$tools-nm" -C "$folder/galmend.debug"
        address=$(awk '$2 == "T" && $3 == "galmend::galaxysets()" { print $1 }' "$zarn_steplog")
        [[ -n "$address" ]] || die "galmend.debug ($bits-bit) has no galmend::galaxysets()"
        step "resolving an address in galmend.exe ($bits-bit)" \
            "$tools-addr2line" -e "$folder/galmend.exe" "$(printf '%x' $((0x$address + 1)))"
        grep -qx '\./galmend/galaxysets\.cpp:[0-9]*' "$zarn_steplog" ||
            die "addr2line did not resolve an address in galmend::galaxysets() ($bits-bit) to galmend/galaxysets.cpp:" "$zarn_steplog"
    done
}

# icons <ico>: every size Windows asks for, the largest stored as PNG.
icons() {
    step "reading $(basename "$1")" identify -format '%m %wx%h\n' "$1"
    local size
    for size in 16 24 32 48 64; do
        grep -qx "ICO ${size}x${size}" "$zarn_steplog" || die "$1 has no ${size}x${size} image"
    done
    grep -qx 'PNG 256x256' "$zarn_steplog" || die "$1 has no 256x256 image stored as PNG"
}

# sums <folder> --output | <sha256sum's arguments>: the zips' checksums, in the folder.
sums() {
    local folder=$1
    shift
    if [[ "$1" == --output ]]; then
        (cd "$folder" && sha256sum -- *.zip >SHA256SUMS)
    else
        (cd "$folder" && sha256sum "$@")
    fi
}

toolsof() { if (($1 == 32)); then echo i686-w64-mingw32; else echo x86_64-w64-mingw32; fi; }

rm -rf "$work"
mkdir -p "$work/dist"
version='' maker=''
for bits in 32 64; do
    preset=release-win$bits
    rm -rf "build/$preset"
    step "configuring the $bits-bit release build" cmake --preset "$preset"
    { read -r version && read -r maker; } <"build/$preset/release.txt" ||
        die "build/$preset/release.txt does not give the version and the maker"
    # The version lives in CMakeLists.txt alone; the build writes it everywhere else.
    ! git grep -qF "$version" -- '*.rc' '*.manifest' '*.manifest.in' ||
        die "a resource script or manifest in the repository names the version $version itself"
    grep -q "^## \[$version\] - " CHANGELOG.md ||
        die "CHANGELOG.md has no heading \"## [$version] - <date>\" for the version in CMakeLists.txt"
    step "building the $bits-bit programs" cmake --build --preset "$preset"

    name=zarntools-$version-win$bits
    stage=$work/win$bits/$name
    symbols=$work/win$bits-symbols/$name
    mkdir -p "$symbols"
    step "installing the $bits-bit programs" cmake --install "build/$preset" --prefix "$stage"
    tools=$(toolsof $bits)
    for program in galmend tallyhold; do
        exe=$stage/$program.exe debug=$symbols/$program.debug
        step "keeping $program's symbols apart" "$tools-objcopy" --only-keep-debug "$exe" "$debug"
        step "stripping $program.exe" "$tools-strip" --strip-all "$exe"
        step "linking $program.exe to its debug file" \
            "$tools-objcopy" --add-gnu-debuglink="$debug" "$exe"
    done
    zipfolder "$work/win$bits" "$work/dist/$name.zip"
    zipfolder "$work/win$bits-symbols" "$work/dist/$name-symbols.zip"
done
step "writing SHA256SUMS" sums "$work/dist" --output
check_release "$work/dist"

# dist/ is either the last release, complete, or this one.
if [[ -e dist ]]; then mv dist "$work/previous-dist"; fi
mv "$work/dist" dist
echo "The release $version of commit $(git rev-parse --short HEAD), in dist/:"
(cd dist && stat -c '  %n  %s bytes' -- *)
echo "The executables in the zips:"
(cd "$work" && stat -c '  %n  %s bytes' -- win*/*/*.exe)
