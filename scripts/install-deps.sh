#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and run Pictrove (as root).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    build-essential cmake ninja-build pkg-config clang-format \
    qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev \
    libzip-dev libpugixml-dev libturbojpeg0-dev libgsf-1-dev zlib1g-dev \
    xvfb xauth x11-utils imagemagick zip unzip fonts-liberation fonts-dejavu-core >/dev/null
