#!/usr/bin/env bash
# Pictures of both windows for the README, made under Xvfb: the main window with
# documents queued, the results window after a run over them, and the results window
# while it saves them.
# Usage: scripts/screenshots.sh [BUILD_DIR] [DOCUMENT...]
# Without documents, a few from the shared corpus beside the checkout are used.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
docs=("$@")
if [ ${#docs[@]} -eq 0 ]; then
    corpus=../shared/corpus
    docs=("$corpus/docx4j_Images.docx" "$corpus/docling_docx_grouped_images.docx" "$corpus/jod_test_img.docx")
fi
# Copies under a neutral folder name, so that the pictures show no path of this machine.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Reports"
copies=()
for d in "${docs[@]}"; do
    cp "$d" "$work/Reports/" && copies+=("$work/Reports/$(basename "$d")")
done
cmake --build "$build" --target pictrove-screenshots >/dev/null
# Settings of their own: the pictures show the defaults, and the user's stay untouched.
export XDG_CONFIG_HOME="$work/config"
(cd "$work" && xvfb-run -a -s "-screen 0 1024x768x24" "$OLDPWD/$build/tools/pictrove-screenshots" \
    "$OLDPWD/docs" "${copies[@]}")
echo "wrote docs/main-window.png docs/results-window.png docs/results-window-saving.png"
