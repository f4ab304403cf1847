#!/usr/bin/env bash
# Engine benchmark: pictrove-cli list over 200 generated .docx (10 pictures each, PNG
# and JPEG of 1 to 4 megapixels) against unzip extracting the same pictures, in the
# same run. Prints the wall-time ratio and list's peak memory.
#
#   bench/engine_bench.sh [BUILD_DIR] [WORK_DIR] [DOCUMENTS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../build"}
work=${2:-"$(mktemp -d)"}
count=${3:-200}
cli="$build/app/pictrove-cli"
gen="$build/bench/gen_docs_bench"
[ -x "$cli" ] && [ -x "$gen" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
docs="$work/docs"
if [ ! -f "$docs/doc$(printf '%03d' "$count").docx" ]; then
    echo "generating $count documents in $docs ..."
    "$gen" "$docs" "$count"
fi
out="$work/unzipped"
mkdir -p "$out"

run_unzip() { for f in "$docs"/*.docx; do unzip -o -j -q "$f" 'word/media/*' -d "$out"; done; }
run_list() { "$cli" list "$docs"/*.docx >/dev/null; }
now() { date +%s.%N; }

# Warm the page cache, then alternate the two three times and keep the best of each.
run_unzip; run_list
best_unzip=999999; best_list=999999
for round in 1 2 3; do
    t0=$(now); run_unzip; t1=$(now); run_list; t2=$(now)
    u=$(echo "$t1 - $t0" | bc -l); l=$(echo "$t2 - $t1" | bc -l)
    best_unzip=$(echo "if ($u < $best_unzip) $u else $best_unzip" | bc -l)
    best_list=$(echo "if ($l < $best_list) $l else $best_list" | bc -l)
    printf 'round %d: unzip %.2fs, list %.2fs\n' "$round" "$u" "$l"
done
printf 'unzip (best): %.2fs\nlist (best):  %.2fs\nratio list/unzip: %.2fx (target <= 1.0x)\n' \
    "$best_unzip" "$best_list" "$(echo "$best_list / $best_unzip" | bc -l)"

# Documents read on two threads against one, in the same run.
best_j1=999999; best_j2=999999
for round in 1 2 3; do
    t0=$(now); "$cli" list --jobs 1 "$docs"/*.docx >/dev/null; t1=$(now)
    "$cli" list --jobs 2 "$docs"/*.docx >/dev/null; t2=$(now)
    a=$(echo "$t1 - $t0" | bc -l); b=$(echo "$t2 - $t1" | bc -l)
    best_j1=$(echo "if ($a < $best_j1) $a else $best_j1" | bc -l)
    best_j2=$(echo "if ($b < $best_j2) $b else $best_j2" | bc -l)
    printf 'round %d: list --jobs 1 %.2fs, list --jobs 2 %.2fs\n' "$round" "$a" "$b"
done
printf 'ratio list --jobs 2 / --jobs 1: %.2fx (target <= 0.6x)\n' "$(echo "$best_j2 / $best_j1" | bc -l)"

# Each thread holds one document's pictures at most while it reads it.
cores=$(nproc)
rss_kb=$(/usr/bin/time -v "$cli" list "$docs"/*.docx 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
largest=$(stat -c %s "$docs"/*.docx | sort -n | tail -1)
limit_kb=$(( 64 * 1024 + cores * largest / 1024 ))
printf 'peak memory of list: %d KiB; largest document %d KiB; limit 64 MiB + %d x largest = %d KiB\n' \
    "$rss_kb" "$((largest / 1024))" "$cores" "$limit_kb"
rows=$("$cli" list "$docs"/*.docx | tail -n +2 | wc -l)
echo "rows listed: $rows (expected $((count * 10)))"
