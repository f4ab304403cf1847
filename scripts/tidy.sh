#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the C++ sources of a configured
# and built dev build (the tests include files that the build generates). Too slow for
# every CI run (README, "Builds").
# Usage: scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if ! command -v clang-tidy >/dev/null; then
    echo "clang-tidy is missing: sudo apt-get install clang-tidy" >&2
    exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "no $build/compile_commands.json: run cmake --preset dev && cmake --build --preset dev" >&2
    exit 1
fi
# The fuzz targets are compiled only by the fuzz build (clang), not in this one.
git ls-files -z '*.cpp' | grep -z -v '^fuzz/' |
    xargs -0 -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet
echo "clang-tidy: no findings"
