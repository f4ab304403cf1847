#!/usr/bin/env bash
# The folder-level include graph of src/, and the rules it must keep:
#   - nothing under src/core/ includes a header of src/gui/;
#   - no two folders include each other, directly or through others (no cycles).
# With --graph it prints the graph ("from -> to  count") and checks nothing.
# Includes are written from src/ ("core/picture/Picture.h"), so a header's folder is
# the directory part of the include.
set -euo pipefail
src="${1:-$(dirname "$0")/../../src}"
mode="${2:-check}"
if [ "${1:-}" = --graph ]; then src="$(dirname "$0")/../../src"; mode=graph; fi
cd "$src"

edges=$(find core gui -name '*.cpp' -o -name '*.h' | sort | while read -r file; do
    from=$(dirname "$file")
    sed -n 's/^#include "\(\(core\|gui\)\/[^"]*\)".*/\1/p' "$file" | while read -r inc; do
        to=$(dirname "$inc")
        [ "$to" != "$from" ] && echo "$from $to"
    done
done | sort | uniq -c | awk '{print $2, $3, $1}')

if [ "$mode" = graph ]; then
    echo "$edges" | awk '{printf "%-22s -> %-22s %s\n", $1, $2, $3}'
    exit 0
fi

status=0
while read -r from to _; do
    [ -z "$from" ] && continue
    if [[ $from == core* && $to == gui* ]]; then
        echo "core includes gui: $from -> $to" >&2
        status=1
    fi
done <<< "$edges"

# A cycle of folders: tsort names one when the graph has any.
cycle=$(echo "$edges" | awk 'NF {print $1, $2}' | tsort 2>&1 >/dev/null || true)
if [ -n "$cycle" ]; then
    echo "folders include each other:" >&2
    echo "$cycle" >&2
    status=1
fi
[ $status = 0 ] && echo "layering ok: $(echo "$edges" | grep -c .) folder edges, no cycles"
exit $status
