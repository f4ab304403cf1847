#!/usr/bin/env bash
# Builds the Debian package pictrove_VERSION_ARCH.deb and prints its path.
# Usage: scripts/package.sh [BUILD_DIR]
# Without BUILD_DIR the release preset is configured and built first (build-release/);
# with it, that build folder is packaged as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -eq 0 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release
    build=build-release
else
    build=$1
fi
rm -f "$build"/pictrove_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/pictrove_*.deb
