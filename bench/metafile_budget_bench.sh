#!/usr/bin/env bash
# Time and peak memory of pictrove-cli on two tiny documents whose metafile asks for
# far more drawing than its size: one EMF of 10,000 gradient rectangles over its whole
# frame, alone and as ten pictures of one group. Playback's work budget keeps each at
# well under a second.
#
#   bench/metafile_budget_bench.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../build"}
work=${2:-"$(mktemp -d)"}
cli="$build/app/pictrove-cli"
mkdir -p "$work/pkg/_rels" "$work/pkg/word/_rels" "$work/pkg/word/media"
"$build/bench/metafile_bench" --write-gradients "$work/pkg/word/media/image1.emf" 10000

ns='xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"
 xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"
 xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"
 xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture"
 xmlns:wpg="http://schemas.microsoft.com/office/word/2010/wordprocessingGroup"'
pic() {
    printf '<pic:pic><pic:blipFill><a:blip r:embed="rId1"/></pic:blipFill><pic:spPr><a:xfrm>'
    printf '<a:off x="%d" y="0"/><a:ext cx="952500" cy="714375"/></a:xfrm></pic:spPr></pic:pic>' "$1"
}
drawing() {  # $1: graphicData uri, $2: content
    printf '<w:p><w:r><w:drawing><wp:anchor><wp:extent cx="%d" cy="714375"/><a:graphic>' "$3"
    printf '<a:graphicData uri="%s">%s</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>' "$1" "$2"
}
single=$(drawing http://schemas.openxmlformats.org/drawingml/2006/picture "$(pic 0)" 952500)
members=""
for i in 0 1 2 3 4 5 6 7 8 9; do members+=$(pic $((i * 952500))); done
group=$(drawing http://schemas.microsoft.com/office/word/2010/wordprocessingGroup \
    "<wpg:wgp><wpg:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"9525000\" cy=\"714375\"/><a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"9525000\" cy=\"714375\"/></a:xfrm></wpg:grpSpPr>$members</wpg:wgp>" 9525000)

cat >"$work/pkg/[Content_Types].xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="emf" ContentType="image/x-emf"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>
XML
cat >"$work/pkg/_rels/.rels" <<'XML'
<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>
XML
cat >"$work/pkg/word/_rels/document.xml.rels" <<'XML'
<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="media/image1.emf"/></Relationships>
XML
for kind in single group; do
    body=$single
    [ "$kind" = group ] && body=$group
    printf '<?xml version="1.0" encoding="UTF-8"?><w:document %s><w:body>%s</w:body></w:document>' \
        "$ns" "$body" >"$work/pkg/word/document.xml"
    rm -f "$work/$kind.docx"
    (cd "$work/pkg" && zip -q -9 -X -r "$work/$kind.docx" '[Content_Types].xml' _rels word)
done

printf '%-8s %-5s %9s %10s %9s\n' document step seconds 'peak KiB' 'doc bytes'
for kind in single group; do
    for step in list save; do
        rm -rf "$work/out" && mkdir -p "$work/out"
        if [ $step = list ]; then
            cmd=("$cli" list "$work/$kind.docx")
        else
            cmd=("$cli" save --format bmp --out "$work/out" "$work/$kind.docx")
        fi
        /usr/bin/time -f '%e %M' -o "$work/time" "${cmd[@]}" >/dev/null
        read -r secs peak <"$work/time"
        printf '%-8s %-5s %9s %10s %9s\n' "$kind" "$step" "$secs" "$peak" \
            "$(stat -c %s "$work/$kind.docx")"
    done
done
