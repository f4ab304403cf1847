#!/usr/bin/env bash
# Saving as JPEG: `pictrove-cli save --format jpg --quality 85` against the usual tools
# over the same generated documents, in the same run: unzip -j of the media, then
# ImageMagick `convert FILE -quality 85 OUT.jpg` for each picture. Also BMP against JPEG.
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
ours() {
    rm -rf "$work/ours" && mkdir -p "$work/ours"
    "$cli" save --format "$1" --quality 85 --out "$work/ours" "$docs"/*.docx >/dev/null
}

best_pipe=999999; best_jpg=999999; best_bmp=999999
for round in 1 2 3; do
    t0=$(now); pipeline; t1=$(now); ours jpg; t2=$(now); ours bmp; t3=$(now)
    p=$(echo "$t1 - $t0" | bc -l); j=$(echo "$t2 - $t1" | bc -l); b=$(echo "$t3 - $t2" | bc -l)
    best_pipe=$(echo "if ($p < $best_pipe) $p else $best_pipe" | bc -l)
    best_jpg=$(echo "if ($j < $best_jpg) $j else $best_jpg" | bc -l)
    best_bmp=$(echo "if ($b < $best_bmp) $b else $best_bmp" | bc -l)
    printf 'round %d: pipeline %.2fs, save jpg %.2fs, save bmp %.2fs\n' "$round" "$p" "$j" "$b"
done
printf 'files: pipeline %d, ours %d\n' "$(ls "$work/pipe/out" | wc -l)" "$(ls "$work/ours" | wc -l)"
printf 'ratio save jpg / pipeline: %.2fx (target <= 0.3x)\n' "$(echo "$best_jpg / $best_pipe" | bc -l)"
printf 'ratio save bmp / save jpg: %.2fx\n' "$(echo "$best_bmp / $best_jpg" | bc -l)"
