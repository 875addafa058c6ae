# Installs the Debian packages a command needs, only when some are missing.
# Sourced by the scripts beside it; needs root when anything is missing.

zarn_missing_packages() {
    local missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    echo "${missing[@]}"
}

zarn_ensure_packages() {
    local missing
    missing=$(zarn_missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installing Debian packages: $missing"
    # wine32 comes from the i386 architecture.
    if [[ " $missing " == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
}

zarn_build_packages=(cmake ninja-build g++ make clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    zlib1g-dev libz-mingw-w64-dev imagemagick)
zarn_wine_packages=(wine wine64 wine32:i386 xvfb xauth x11-utils)
zarn_release_packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
    binutils-mingw-w64-x86-64 binutils libz-mingw-w64-dev imagemagick zip unzip)
