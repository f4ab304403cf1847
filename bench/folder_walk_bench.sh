#!/usr/bin/env bash
# Folder walk benchmark: generates a tree of 10,000 folders and 100,000 files in a
# temporary folder, times CollectSubfolders + ListFiles against `find -type f` over it
# in the same run, reports the longest stretch without an event-loop turn, and removes
# the tree again.
#   bench/folder_walk_bench.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target folder_walk_bench >/dev/null
tree=$(mktemp -d "${TMPDIR:-/tmp}/pictrove-walk.XXXXXX")
trap 'rm -rf "$tree"' EXIT
"$build/bench/folder_walk_bench" --generate "$tree"
"$build/bench/folder_walk_bench" "$tree"
