#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target viewer
./build/viewer
