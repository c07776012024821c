#!/usr/bin/env bash
# Measures how the viewer draws the installed game data with the shipped settings (every
# archive, gamelook 1): builds tools/lookcheck in build/ and runs it on a virtual display. It
# steps through every player with every skin and every weapon, reports for each the share of
# the model's pixels that are pure white (a surface without an image) and the surfaces whose
# data names nothing, checks that muzzle flashes only add light and that sarge's death
# animation ends lying down. Not part of ./test.sh: it needs the installed game data.
#   scripts/look-check.sh [game folder, default /usr/share/games/openarena/baseoa] [frames folder]
# With a frames folder every measured frame is saved there as a PPM picture.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
game=${1:-/usr/share/games/openarena/baseoa}
frames=${2:-}
if [ -n "$frames" ]; then
    mkdir -p "$frames"
    frames=$(realpath "$frames")
fi
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target lookcheck >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" env LP_NUM_THREADS=1 \
    "$root/build/lookcheck" "$game" ${frames:+"$frames"}
