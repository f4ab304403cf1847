#!/usr/bin/env bash
# The extraction run of the window (headless, offscreen) against `pictrove-cli list`
# over the same generated documents, in the same run; and the run's peak memory
# against the total size of the pictures' encoded bytes.
#
#   bench/run_bench.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../build"}
work=${2:-"$(mktemp -d)"}
cli="$build/app/pictrove-cli"
run="$build/bench/run_bench"
gen="$build/bench/gen_docs_bench"
export QT_QPA_PLATFORM=offscreen
docs="$work/docs"
[ -f "$docs/doc200.docx" ] || "$gen" "$docs" 200 >/dev/null
now() { date +%s.%N; }

"$cli" list "$docs"/*.docx >/dev/null  # warm the page cache
best_list=999999; best_run=999999
for round in 1 2 3; do
    t0=$(now); "$cli" list "$docs"/*.docx >/dev/null; t1=$(now)
    "$run" "$docs"/*.docx >"$work/run.txt" 2>/dev/null; t2=$(now)
    l=$(echo "$t1 - $t0" | bc -l); r=$(echo "$t2 - $t1" | bc -l)
    best_list=$(echo "if ($l < $best_list) $l else $best_list" | bc -l)
    best_run=$(echo "if ($r < $best_run) $r else $best_run" | bc -l)
    printf 'round %d: list %.2fs, run %.2fs\n' "$round" "$l" "$r"
done
printf 'ratio run/list: %.2fx (target <= 1.5x)\n' "$(echo "$best_run / $best_list" | bc -l)"

# The pictures' store is a memory file that the resident size leaves out; it only grows
# during a run, so its size at the end is its peak and adds to the resident peak.
rss_kb=$(/usr/bin/time -v "$run" "$docs"/*.docx 2>&1 >"$work/run.txt" | awk -F': ' '/Maximum resident/ {print $2}')
field() { awk -F'\t' -v k="$1" '$1 == k {print $2}' "$work/run.txt"; }
encoded=$(field encoded_bytes); pictures=$(field pictures); store=$(field store_bytes)
peak_kb=$(( rss_kb + store / 1024 ))
budget_kb=$(( 64 * 1024 + encoded * 3 / 2 / 1024 ))
printf 'pictures: %d; encoded bytes: %d KiB; peak memory of the run: %d KiB (resident %d KiB + store %d KiB); budget 64 MiB + 1.5x encoded = %d KiB\n' \
    "$pictures" "$((encoded / 1024))" "$peak_kb" "$rss_kb" "$((store / 1024))" "$budget_kb"
