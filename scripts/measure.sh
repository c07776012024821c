#!/usr/bin/env bash
# Measures the viewer from outside on the current X display (run it under xvfb-run for the
# software renderer): the time from start to the first frame that shows a model, the time to
# switch to each player, and frames per second. Frames are counted by a small preloaded
# library that wraps the buffer swap; the program itself is unchanged.
#   scripts/measure.sh <viewer binary> <folder holding baseq3/pak0.pk3> [width height]
# KEL_Q3GAME names another game folder than baseq3; KEL_MOUNTALL=1 mounts all its archives.
set -euo pipefail
bin=$(realpath "$1") game=$(realpath "$2") width=${3:-640} height=${4:-480}
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/viewer-drive.sh"
export LP_NUM_THREADS=${LP_NUM_THREADS:-1}

work=$(mktemp -d /tmp/kel-measure.XXXXXX)
trap 'rm -rf "$work"' EXIT
cat >"$work/swapcount.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
/* Counts buffer swaps and rewrites the count into the file named by KEL_SWAP_COUNT. */
void SDL_GL_SwapBuffers(void)
{
    static void (*real)(void);
    static long swaps;
    static const char* path;
    if (!real)
    {
        real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
        path = getenv("KEL_SWAP_COUNT");
    }
    real();
    if (path && ++swaps % 10 == 0)
    {
        FILE* f = fopen(path, "w");
        if (f)
        {
            fprintf(f, "%ld\n", swaps);
            fclose(f);
        }
    }
}
C
gcc -shared -fPIC -O2 -o "$work/swapcount.so" "$work/swapcount.c" -ldl

mkdir "$work/run"
cp "$root/base/convars.cfg" "$root/base/font_arial.tga" "$root/base/console.tga" "$work/run/"
sed -e "s#^\(q3apath[[:space:]]*=\).*#\1 $game#" -e "s#^width *=.*#width = $width#" \
    -e "s#^height *=.*#height = $height#" -e "s#^\(q3game[[:space:]]*=\).*#\1 ${KEL_Q3GAME:-baseq3}#" \
    -e "s#^\(mountall[[:space:]]*=\).*#\1 ${KEL_MOUNTALL:-0}#" "$root/base/app.cfg" >"$work/run/app.cfg"

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
# Polls until the middle of the window shows at least 2000 lit pixels; prints the seconds since t0.
wait_model() {
    local t0=$1 region="$((VIEWER_W / 3))x$((VIEWER_H * 2 / 3))+$((VIEWER_W / 3))+$((VIEWER_H / 6))"
    for ((i = 0; i < 1000; i++)); do
        viewer_shot "$work/poll.png" "$region"
        if [ "$(viewer_count_lit "$work/poll.png")" -gt 2000 ]; then
            since "$t0"
            return 0
        fi
    done
    echo never
}
# True when row <index> of the player list is green: the overlay marks the current player.
row_green() {
    viewer_shot "$work/row.png" "250x13+0+$((56 + 13 * $1))"
    [ "$(viewer_count_like "$work/row.png" 0 40 150 255 0 40)" -gt 20 ]
}
# Polls until row <index> turns green, which happens in the first frame drawn after the switch;
# prints the seconds since t0.
wait_row() {
    local t0=$1 row=$2
    for ((i = 0; i < 1000; i++)); do
        if row_green "$row"; then
            since "$t0"
            return 0
        fi
    done
    echo never
}

export KEL_SWAP_COUNT=$work/swaps
t0=$(now)
(cd "$work/run" && LD_PRELOAD="$work/swapcount.so" exec "$bin") >/dev/null 2>&1 &
VIEWER_PID=$!
VIEWER_WIN=$(timeout 30 xdotool search --sync --onlyvisible --pid "$VIEWER_PID" | head -n 1)
viewer_geometry
echo "window shown after $(since "$t0") s"
echo "first frame with a model after $(wait_model "$t0") s"
xdotool mousemove --window "$VIEWER_WIN" $((VIEWER_W / 2)) $((VIEWER_H - 10))
players=$(sed -n 's/^ViewerApp:: \([0-9]*\) players.*/\1/p' "$work/run/kelLog.txt")
row=0
for ((r = 0; r < players; r++)); do
    if row_green "$r"; then row=$r; fi
done
for ((p = 1; p <= players; p++)); do
    row=$(((row + 1) % players))
    t1=$(now)
    xdotool key KP_Add
    echo "switch to player $((row + 1)) of $players: shown after $(wait_row "$t1" "$row") s"
done
sleep 2
c1=$(cat "$work/swaps") t1=$(now)
sleep 10
c2=$(cat "$work/swaps")
fps=$(awk -v c="$((c2 - c1))" -v a="$t1" -v b="$(now)" 'BEGIN { printf "%.1f", c / (b - a) }')
echo "frames per second at ${VIEWER_W}x${VIEWER_H}: $fps"
viewer_stop
