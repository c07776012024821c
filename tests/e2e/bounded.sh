#!/usr/bin/env bash
# End to end on input built to cost memory: the viewer shows, for 15 s each, a player whose
# texture claims 65500 x 65500 pixels, one with a surface too large for the batch and one whose
# model surfaces share a vertex block. Each run's peak memory stays under 600 MB and its debug
# file under 64 KB, free of control characters from the archive's names. A FIFO among the
# archives (mountall 1) does not delay the first frame. Runs on a display of its own.
#   bounded.sh <viewer binary> <source folder>
set -uo pipefail
if [ -z "${KEL_E2E_DISPLAY:-}" ]; then
    export KEL_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
viewer=$(realpath "$1")
src=$(realpath "$2")
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1
# A sanitized viewer keeps freed memory in quarantine: keep it small, so its peak still tells
# what the program holds.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:quarantine_size_mb=16"

work=$(mktemp -d /tmp/kel-bounded.XXXXXX)
VIEWER_FAILURES=0
cleanup() {
    if [ -n "${VIEWER_PID:-}" ] && kill -0 "$VIEWER_PID" 2>/dev/null; then
        kill "$VIEWER_PID" 2>/dev/null
    fi
    if [ "$VIEWER_FAILURES" -eq 0 ] && [ -z "${KEL_KEEP:-}" ]; then rm -rf "$work"; else echo "files kept in $work"; fi
}
trap cleanup EXIT

"$(dirname "$viewer")/tests/make_hostile_gamedata" "$work/game" bounded || exit 1
model="360x560+330+120"
first_start=""
# The players in name order: a nameless failure, alpha (shown at start), then the three cases.
cases=("bigjpeg 1 cImage:: models/players/bigjpeg/skin.jpg is too large (65500x65500)"
    "manyverts 2 Tess:: mesh of 3000 vertexes and 3000 indexes is larger than the batch, dropped"
    "shared 3 cMd3:: models/players/shared/lower.md3 : surface 0 vertices overlaps surface 1 vertices")
for c in "${cases[@]}"; do
    read -r name presses message <<<"$c"
    run=$work/$name
    mkdir "$run"
    for f in app.cfg convars.cfg font_arial.tga console.tga; do
        cp "$src/base/$f" "$run/" || exit 1
    done
    sed -i -e "s#^\(q3apath[[:space:]]*=\).*#\1 $work/game#" -e "s#^\(q3game[[:space:]]*=\).*#\1 baseq3#" \
        -e "s#^\(mountall[[:space:]]*=\).*#\1 1#" -e '/^gamelook/d' "$run/app.cfg"
    echo "gamelook = 0" >>"$run/app.cfg"

    started=$(date +%s%N)
    VIEWER_TMP=$run
    viewer_start "$viewer" "$run" || exit 1
    viewer_check "$name: the first good player is drawn at start" has 2000 color_at "$model" '#0000FF'
    seconds=$(awk -v a="$started" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }')
    if [ -z "$first_start" ]; then
        first_start=$seconds
        # The other runs start with a FIFO among the archives, which no reader may wait on.
        mkfifo "$work/game/baseq3/zz.pk3" || exit 1
    else
        viewer_check "$name: start-up with a FIFO in the game folder takes ${seconds} s (without: ${first_start} s)" \
            awk -v a="$seconds" -v b="$first_start" 'BEGIN { exit !(a <= b + 2) }'
    fi

    for ((i = 0; i < presses; i++)); do
        viewer_key KP_Add
    done
    VIEWER_WAIT=10 viewer_check "$name: shown, its debug file says: $message" \
        grep -qF "$message" "$run/kelDebug.txt"
    while [ $(($(date +%s%N) - started)) -lt 15000000000 ] && kill -0 "$VIEWER_PID" 2>/dev/null; do
        sleep 0.5
    done
    peak=$(awk '/^VmHWM:/ { print int($2 / 1024) }' "/proc/$VIEWER_PID/status" 2>/dev/null)
    viewer_stop 30
    viewer_check "$name: Escape ends the program with status 0 (got $VIEWER_STATUS)" [ "$VIEWER_STATUS" = 0 ]
    viewer_check "$name: peak memory ${peak:-?} MB stays under 600 MB" [ "${peak:-999999}" -lt 600 ]
    debug=$run/kelDebug.txt
    size=$(stat -c %s "$debug")
    viewer_check "$name: the debug file of $size bytes stays under 64 KB" [ "$size" -lt 65536 ]
    viewer_check "$name: the message comes once" [ "$(grep -cF "$message" "$debug")" = 1 ]
    viewer_check "$name: names with control characters are logged, escaped" \
        grep -qF 'models/players/\x01ctl\x1b[2J\nx\x7f' "$debug"
    controls=$(LC_ALL=C tr -d '\n\040-\176\200-\377' <"$debug" | wc -c)
    viewer_check "$name: no control character in the debug file (found $controls)" [ "$controls" = 0 ]
    report=$(grep -m 3 -E 'Sanitizer|runtime error' "$run/viewer.out")
    viewer_check "$name: no sanitizer report${report:+: $report}" [ -z "$report" ]
done

echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
