#!/usr/bin/env bash
# Fetches the openarena-data package (only it, not its dependencies) and unpacks it into
# data/openarena, which git ignores. Prints the folder holding pak0.pk3.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=data/openarena
pak=$dest/usr/share/games/openarena/baseoa/pak0.pk3
if [ ! -f "$pak" ]; then
    mkdir -p data/download
    (cd data/download && rm -f openarena-data_*.deb && apt-get download openarena-data >/dev/null 2>&1) ||
        { [ "$(id -u)" -eq 0 ] && apt-get update -qq && (cd data/download && apt-get download openarena-data >/dev/null 2>&1); } ||
        { echo "fetch-data: could not download openarena-data" >&2; exit 1; }
    mkdir -p "$dest"
    dpkg -x data/download/openarena-data_*.deb "$dest"
    rm -rf data/download
fi
echo "$PWD/$(dirname "$pak")"
