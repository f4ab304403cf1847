#!/usr/bin/env bash
# Takes a screenshot of the main window under Xvfb into docs/main-window.png.
# Usage: scripts/screenshot-main.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/main-window.png
xvfb-run -a -s "-screen 0 800x600x24" bash -c "
  '$build/app/pictrove' & pid=\$!
  for i in \$(seq 50); do xwininfo -name Pictrove >/dev/null 2>&1 && break; sleep 0.2; done
  sleep 1
  import -window Pictrove '$out'
  kill \$pid"
echo "wrote $out"
