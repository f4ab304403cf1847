#!/usr/bin/env bash
# Saving as JPEG: `pictrove-cli save --format jpg --quality 85` against the usual tools
# over the same generated documents, in the same run: unzip -j of the media, then
# ImageMagick `convert FILE -quality 85 OUT.jpg` for each picture. Also BMP against JPEG,
# the Original save against `unzip -j` of the same media, and the peak memory of the
# parallel JPEG save against its budget (64 MiB + 2 x cores x the largest decoded picture).
#
#   bench/save_bench.sh [BUILD_DIR] [WORK_DIR] [DOCUMENTS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../build"}
work=${2:-"$(mktemp -d)"}
count=${3:-20}
cli="$build/app/pictrove-cli"
gen="$build/bench/gen_docs_bench"
docs="$work/save-docs"
[ -f "$docs/doc$(printf '%03d' "$count").docx" ] || [ -f "$docs/doc$count.docx" ] || "$gen" "$docs" "$count" >/dev/null
now() { date +%s.%N; }

pipeline() {
    rm -rf "$work/pipe" && mkdir -p "$work/pipe/media" "$work/pipe/out"
    for f in "$docs"/*.docx; do unzip -o -j -q "$f" 'word/media/*' -d "$work/pipe/media/$(basename "$f" .docx)"; done
    for m in "$work"/pipe/media/*/*; do
        convert "$m" -quality 85 "$work/pipe/out/$(basename "$(dirname "$m")")_$(basename "$m").jpg"
    done
}
unzip_media() {
    rm -rf "$work/unzipped" && mkdir -p "$work/unzipped"
    for f in "$docs"/*.docx; do unzip -o -j -q "$f" 'word/media/*' -d "$work/unzipped/$(basename "$f" .docx)"; done
}
ours() {
    rm -rf "$work/ours" && mkdir -p "$work/ours"
    "$cli" save --format "$1" --quality 85 --out "$work/ours" "$docs"/*.docx >/dev/null
}
best() { echo "if ($1 < $2) $1 else $2" | bc -l; }

best_pipe=999999; best_jpg=999999; best_bmp=999999; best_unzip=999999; best_orig=999999
for round in 1 2 3; do
    t0=$(now); pipeline; t1=$(now); ours jpg; t2=$(now); ours bmp; t3=$(now)
    unzip_media; t4=$(now); ours original; t5=$(now)
    p=$(echo "$t1 - $t0" | bc -l); j=$(echo "$t2 - $t1" | bc -l); b=$(echo "$t3 - $t2" | bc -l)
    u=$(echo "$t4 - $t3" | bc -l); o=$(echo "$t5 - $t4" | bc -l)
    best_pipe=$(best "$p" "$best_pipe"); best_jpg=$(best "$j" "$best_jpg")
    best_bmp=$(best "$b" "$best_bmp"); best_unzip=$(best "$u" "$best_unzip")
    best_orig=$(best "$o" "$best_orig")
    printf 'round %d: pipeline %.2fs, save jpg %.2fs, save bmp %.2fs, unzip -j %.2fs, save original %.2fs\n' \
        "$round" "$p" "$j" "$b" "$u" "$o"
done
printf 'files: pipeline %d, ours %d\n' "$(ls "$work/pipe/out" | wc -l)" "$(ls "$work/ours" | wc -l)"
printf 'ratio save jpg / pipeline: %.2fx (target <= 0.2x)\n' "$(echo "$best_jpg / $best_pipe" | bc -l)"
printf 'ratio save bmp / save jpg: %.2fx\n' "$(echo "$best_bmp / $best_jpg" | bc -l)"
printf 'ratio save original / unzip -j: %.2fx (target <= 1.2x)\n' "$(echo "$best_orig / $best_unzip" | bc -l)"

# Peak memory of the parallel JPEG save against 64 MiB + 2 x cores x the largest picture
# decoded (4 bytes a pixel).
cores=$(nproc)
rss_kb=$(/usr/bin/time -v "$cli" save --format jpg --quality 85 --out "$work/ours" "$docs"/*.docx 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident/ {print $2}')
largest_px=$(identify -format '%w %h\n' "$work"/unzipped/*/* 2>/dev/null | awk '{p = $1 * $2; if (p > m) m = p} END {print m + 0}')
budget_kb=$(( (64 * 1024 * 1024 + 2 * cores * largest_px * 4) / 1024 ))
printf 'peak memory of save --format jpg on %d cores: %d MiB (budget %d MiB)\n' \
    "$cores" "$((rss_kb / 1024))" "$((budget_kb / 1024))"
