#!/usr/bin/env bash
# Times `pictrove-cli list` over 50 generated .doc documents with 10 pictures each
# and reports it as a ratio to `cat` of the same files, measured in the same run
# (best of five runs each, files in the page cache).
#
#   bench/doc_bench.sh [BUILD_DIR]      (default: build; needs pictrove-cli and gen_doc_bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/app/pictrove-cli"
gen="$build/bench/gen_doc_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$gen" "$work" 50 10
files=("$work"/*.doc)
bytes=$(cat "${files[@]}" | wc -c)

best() {  # best wall time in seconds of five runs of the command
    local best=""
    for _ in 1 2 3 4 5; do
        local t0 t1
        t0=$(date +%s.%N)
        "$@" >/dev/null
        t1=$(date +%s.%N)
        best=$(echo "$t0 $t1 $best" | awk '{d = $2 - $1; if ($3 == "" || d < $3) print d; else print $3}')
    done
    echo "$best"
}

cat "${files[@]}" >/dev/null  # warm the page cache
rows=$("$cli" list "${files[@]}" | tail -n +2 | wc -l)
t_cat=$(best cat "${files[@]}")
t_list=$(best "$cli" list "${files[@]}")
echo "documents: ${#files[@]}, bytes: $bytes, pictures listed: $rows"
awk -v c="$t_cat" -v l="$t_list" 'BEGIN {
    printf "cat: %.1f ms  pictrove-cli list: %.1f ms  ratio: %.2fx (target <= 3x)\n",
           c * 1000, l * 1000, l / c }'
