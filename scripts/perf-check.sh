#!/usr/bin/env bash
# Measures the real viewer in-process on the installed game data with the shipped settings
# (every archive, gamelook 1, 1024 x 768), on a virtual display with the software renderer
# (LP_NUM_THREADS=1): the process CPU per frame with the full overlay and with the text hidden
# (q) and their ratio, then the resident memory after the first frame and after a frame of
# every player. Not part of ./test.sh: it needs the installed game data.
#   scripts/perf-check.sh [game folder, default /usr/share/games/openarena/baseoa] [frames, default 600]
# BUILD names the build folder (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
game=$(realpath "${1:-/usr/share/games/openarena/baseoa}")
frames=${2:-600}
build=$(realpath "${BUILD:-$root/build}")
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target perfcheck >/dev/null
export KEL_BASE=$root/base LP_NUM_THREADS=1
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$build/perfcheck" overlay "$frames" "$game"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$build/perfcheck" memory "$game"
