#!/usr/bin/env bash
# Builds everything (native, 32-bit and 64-bit Windows) and runs every test:
# native unit tests under the sanitizers, then the end-to-end runs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
zarn_ensure_packages "${zarn_build_packages[@]}" "${zarn_wine_packages[@]}"

for preset in win32 win64 fuzz linux-debug; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
ctest --preset linux-debug -j2
