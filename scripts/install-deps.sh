#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the viewer need, when any is missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl1.2-dev libgl-dev libglu1-mesa-dev
    libgl1-mesa-dri zlib1g-dev libdeflate-dev libjpeg62-turbo-dev libpng-dev libcli11-dev libgtest-dev
    libbenchmark-dev
    xvfb xauth xdotool imagemagick)
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
