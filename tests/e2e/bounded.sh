#!/usr/bin/env bash
# End to end on input built to cost memory: the viewer shows, for 15 s each, a player whose
# texture claims 65500 x 65500 pixels, one with a surface too large for the batch and one whose
# model surfaces share a vertex block. Each run's peak memory stays under 600 MB and its debug
# file under 64 KB, free of control characters from the archive's names. A FIFO among the
# archives (mountall 1) does not delay the first frame. Runs on a display of its own.
#   bounded.sh <viewer binary> <source folder>
set -uo pipefail
source "$(dirname "$0")/preamble.bash"
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1
# A sanitized viewer keeps freed memory in quarantine: keep it small, so its peak still tells
# what the program holds.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:quarantine_size_mb=16"

work=$(mktemp -d /tmp/kel-bounded.XXXXXX)
VIEWER_FAILURES=0
trap '[ -n "${VIEWER_PID:-}" ] && kill "$VIEWER_PID" 2>/dev/null; [ "$VIEWER_FAILURES" -eq 0 ] && rm -rf "$work" || echo "files kept in $work"' EXIT

# The game: the last whole-archive fuzz seed.
"$(dirname "$viewer")/tests/fuzz/fuzz_seeds" "$work/seeds" >/dev/null || exit 1
mkdir -p "$work/game/baseq3" && cp "$work/seeds/pipeline/costly2.pk3" "$work/game/baseq3/pak0.pk3" || exit 1
model="360x560+330+120"
first_start=""
# Players in name order: one named with control characters, alpha (shown at start), beta, the
# cases in the order of eCostlyPlayer.
cases=("costly0 2 cImage:: models/players/costly0/skin.jpg is too large (65500x65500)"
    "costly1 3 cMd3:: models/players/costly1/lower.md3 : surface 0 vertices overlaps surface 1 vertices"
    "costly2 4 Tess:: mesh of 3000 vertexes and 3000 indexes is larger than the batch, dropped")
for c in "${cases[@]}"; do
    read -r name presses message <<<"$c"
    run=$work/$name
    run_folder "$run" "$work/game" mountall 1 gamelook 0 || exit 1

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

    for ((i = 0; i < presses; i++)); do viewer_key KP_Add; done
    debug=$run/kelDebug.txt
    VIEWER_WAIT=10 viewer_check "$name: shown, its debug file says: $message" grep -qF "$message" "$debug"
    while [ $(($(date +%s%N) - started)) -lt 15000000000 ] && kill -0 "$VIEWER_PID" 2>/dev/null; do
        sleep 0.5
    done
    peak=$(awk '/^VmHWM:/ { print int($2 / 1024) }' "/proc/$VIEWER_PID/status" 2>/dev/null)
    viewer_stop 30
    report=$(grep -m 3 -E 'Sanitizer|runtime error' "$run/viewer.out")
    viewer_check "$name: Escape ends the program with status 0 (got $VIEWER_STATUS) ${report}" \
        [ "$VIEWER_STATUS$report" = 0 ]
    viewer_check "$name: peak memory ${peak:-?} MB stays under 600 MB" [ "${peak:-999999}" -lt 600 ]
    size=$(stat -c %s "$debug")
    viewer_check "$name: the debug file of $size bytes stays under 64 KB" [ "$size" -lt 65536 ]
    viewer_check "$name: the message comes once" [ "$(grep -cF "$message" "$debug")" = 1 ]
    viewer_check "$name: names with control characters are logged, escaped" \
        grep -qF 'models/players/\x01ctl\x1b[2J\nx\x7f' "$debug"
    controls=$(LC_ALL=C tr -d '\n\040-\176\200-\377' <"$debug" | wc -c)
    viewer_check "$name: no control character in the debug file (found $controls)" [ "$controls" = 0 ]
done

echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
