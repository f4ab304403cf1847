#!/usr/bin/env bash
# Builds every libFuzzer target (preset fuzz, clang) and runs each for a short while on
# its seed folder, so that the targets keep building and a shallow fault of a reader
# is found before it lands. Seeds: fuzz/make-seeds.sh, from the shared corpus when it
# is beside the checkout and from the fixtures the unit tests of build/ write.
#   scripts/fuzz-smoke.sh [SECONDS]     (default 20 s a target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
jobs=$(nproc)

cmake --preset fuzz >/dev/null
# The targets alone: the fuzz build needs neither the windows nor the programs.
targets=$(basename -s .cpp fuzz/*_fuzz.cpp)
# shellcheck disable=SC2086
cmake --build --preset fuzz -j "$jobs" --target $targets

fixtures=$(mktemp -d)
trap 'rm -rf "$fixtures"' EXIT
if [ -x build/tests/engine_test ]; then
    PICTROVE_WRITE_SEEDS="$fixtures" QT_QPA_PLATFORM=offscreen build/tests/engine_test >/dev/null
fi
fuzz/make-seeds.sh "$PWD/../shared/corpus" "$fixtures" >/dev/null

# One target per core at a time; each gets its seed folder (empty when it has none).
run() {
    local target=$1 name
    name=$(basename "$target" | sed 's/_fuzz$//')
    mkdir -p "fuzz/corpus-$name"
    if ! ASAN_OPTIONS=detect_leaks=0 "$target" -artifact_prefix=fuzz/ -max_total_time="$seconds" -max_len=200000 -rss_limit_mb=2048 \
        -timeout=25 -print_final_stats=0 "fuzz/corpus-$name" >"$fixtures/$name.log" 2>&1; then
        tail -40 "$fixtures/$name.log"
        echo "fuzz smoke: $name found a fault (artifacts in the working folder)" >&2
        return 1
    fi
    echo "fuzz smoke: $name: $(grep -c '^#' "$fixtures/$name.log" || true) coverage lines, no fault"
}
export -f run
export seconds fixtures
find build-fuzz/fuzz -maxdepth 1 -type f -name '*_fuzz' -perm -u+x | sort |
    xargs -r -P "$jobs" -I{} bash -c 'run "$@"' _ {}
