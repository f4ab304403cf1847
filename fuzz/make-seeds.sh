#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets (fuzz/corpus-TARGET/) from the documents
# of a corpus folder (default: ../shared/corpus beside the checkout) and from the
# fixtures the unit tests write when PICTROVE_WRITE_SEEDS is set.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-"$here/../../shared/corpus"}
fixtures=${2:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for t in ooxml odt wordxml picture_header png_decode emf wmf emfplus; do mkdir -p "$here/corpus-$t"; done

prefix() {  # prefix BYTE SRC DEST: writes BYTE then SRC
    { printf "\\x$1"; cat "$2"; } >"$3"
}
n=0
shopt -s nullglob
for f in "$corpus"/*.docx "$corpus"/*.docm "$corpus"/*.dotx "$corpus"/*.dotm; do
    n=$((n + 1))
    prefix 00 "$f" "$here/corpus-ooxml/pkg$n"
    if unzip -p "$f" word/document.xml >"$tmp/doc.xml" 2>/dev/null && [ -s "$tmp/doc.xml" ]; then
        [ "$(stat -c %s "$tmp/doc.xml")" -lt 200000 ] && prefix 01 "$tmp/doc.xml" "$here/corpus-ooxml/xml$n"
    fi
    mkdir -p "$tmp/media$n"
    unzip -j -o -q "$f" 'word/media/*' -d "$tmp/media$n" 2>/dev/null || true
done
for f in "$corpus"/*.odt; do
    n=$((n + 1))
    [ "$(stat -c %s "$f")" -lt 1000000 ] && prefix 00 "$f" "$here/corpus-odt/pkg$n"
    if unzip -p "$f" content.xml >"$tmp/content.xml" 2>/dev/null && [ -s "$tmp/content.xml" ]; then
        [ "$(stat -c %s "$tmp/content.xml")" -lt 200000 ] && prefix 01 "$tmp/content.xml" "$here/corpus-odt/xml$n"
    fi
done
for m in "$tmp"/media*/*; do
    [ "$(stat -c %s "$m")" -lt 100000 ] || continue
    cp "$m" "$here/corpus-picture_header/$(basename "$(dirname "$m")")-$(basename "$m")"
    case "$m" in *.png) prefix 00 "$m" "$here/corpus-png_decode/$(basename "$(dirname "$m")")-$(basename "$m")" ;; esac
done
# The metafile targets: the corpus's metafiles and the hand-made ones of the tests;
# emfplus_fuzz gets the EMF+ records of each EMF's comments, joined.
for m in "$tmp"/media*/*.emf "$tmp"/media*/*.wmf "$here"/../tests/data/metafile/*.emf \
    "$here"/../tests/data/metafile/*.wmf; do
    [ "$(stat -c %s "$m")" -lt 1000000 ] || continue
    kind=${m##*.}
    name=$(basename "$(dirname "$m")")-$(basename "$m")
    cp "$m" "$here/corpus-$kind/$name"
    if [ "$kind" = emf ] && command -v python3 >/dev/null; then
        python3 - "$m" "$here/corpus-emfplus/$name" <<'PY'
import struct, sys
data, out, off = open(sys.argv[1], "rb").read(), b"", 0
while off + 8 <= len(data):
    kind, size = struct.unpack_from("<II", data, off)
    if size < 8 or off + size > len(data):
        break
    if kind == 70 and size >= 16 and data[off + 12:off + 16] == b"EMF+":
        out += data[off + 16:off + 12 + struct.unpack_from("<I", data, off + 8)[0]]
    off += size
if out:
    open(sys.argv[2], "wb").write(out)
PY
    fi
done
if [ -n "$fixtures" ]; then
    for f in "$fixtures"/*.xml; do cp "$f" "$here/corpus-wordxml/"; done
    for f in "$fixtures"/*.docx; do prefix 00 "$f" "$here/corpus-ooxml/$(basename "$f")"; done
    for f in "$fixtures"/*.odt; do prefix 00 "$f" "$here/corpus-odt/$(basename "$f")"; done
fi
for t in ooxml odt wordxml picture_header png_decode emf wmf emfplus; do
    echo "corpus-$t: $(ls "$here/corpus-$t" | wc -l) seeds"
done
