#!/usr/bin/env bash
# Installs the missing dependencies, builds Pictrove (preset dev, in build/) and starts
# it; arguments are passed on (documents and folders to queue).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${PICTROVE_SKIP_DEPS:-0}" != 1 ]; then scripts/install-deps.sh; fi
cmake --preset dev >/dev/null
cmake --build --preset dev --target pictrove
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a build/app/pictrove "$@"
fi
exec build/app/pictrove "$@"
