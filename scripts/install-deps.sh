#!/usr/bin/env bash
# Installs the Debian packages needed to build, test, package and run Pictrove, those
# that are missing only: with all of them there, it needs no root and changes nothing.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev
    libzip-dev libpugixml-dev libturbojpeg0-dev libgsf-1-dev zlib1g-dev libdeflate-dev
    xvfb xauth x11-utils imagemagick zip unzip fonts-liberation fonts-dejavu-core
    # the pictographs that metafiles draw with the dingbat fonts
    fonts-symbola
    # the fuzz targets' compiler and its libFuzzer and sanitizer run-times
    clang libclang-rt-14-dev
    # man pages and the bash completion, and the checks of what is installed
    help2man man-db groff-base desktop-file-utils appstream dpkg-dev file
)
missing=()
for p in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "Pictrove needs these Debian packages, which are not installed:" >&2
    echo "    ${missing[*]}" >&2
    echo "Install them as root, for example:" >&2
    echo "    sudo apt-get update && sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
