#!/usr/bin/env bash
# End to end on hostile input: the viewer (sanitized under ./test.sh --sanitize) runs on a game
# folder whose archive holds broken models, textures, skins, animation files and shader
# scripts next to good ones. It steps through every player with every skin and animation key
# and through every weapon, and must keep running, name each broken file in its debug file and
# end cleanly without a sanitizer report. Runs on a display of its own.
#   hostile.sh <viewer binary> <source folder>
set -uo pipefail
source "$(dirname "$0")/preamble.bash"
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1

work=$(mktemp -d /tmp/kel-hostile.XXXXXX)
VIEWER_FAILURES=0
trap '[ -n "${VIEWER_PID:-}" ] && kill "$VIEWER_PID" 2>/dev/null; [ "$VIEWER_FAILURES" -eq 0 ] && [ -z "${KEL_KEEP:-}" ] && rm -rf "$work" || echo "files kept in $work"' EXIT

"$(dirname "$viewer")/tests/make_hostile_gamedata" "$work/game" || exit 1
run_folder "$work/run" "$work/game" || exit 1
# Broken lines in the variables file as well.
printf 'bind\nbind %s nextmodel\nbind F1\nunbind\n%s\n' "$(head -c 300 /dev/zero | tr '\0' 'k')" \
    "$(head -c 2000 /dev/zero | tr '\0' 'v')" >>"$work/run/convars.cfg"

VIEWER_TMP=$work
viewer_start "$viewer" "$work/run" || exit 1
model="360x560+330+120"
alive() { kill -0 "$VIEWER_PID" 2>/dev/null; }
# The shipped game look lights the models: the blue player is blue in every shade.
blue=(0 10 0 10 40 255)
viewer_check "the first good player is drawn at start" has 2000 like_at "$model" "${blue[@]}"
read -r players weapons < <(sed -n 's/^ViewerApp:: \([0-9]*\) players, \([0-9]*\) weapons listed$/\1 \2/p' \
    "$work/run/kelLog.txt")
viewer_check "the archive lists 8 players and 4 weapons (got ${players:-?} and ${weapons:-?})" \
    [ "${players:-0}-${weapons:-0}" = 8-4 ]

export VIEWER_SETTLE=0.05
for ((p = 1; p <= ${players:-0}; p++)); do
    viewer_key KP_Add
    for s in 1 2 3 4 5 6 7; do
        viewer_key "$s" Insert Delete Home End Prior Next comma period
    done
    viewer_key KP_Subtract KP_Add 1
    alive || break
done
viewer_check "the viewer survived every player, skin and animation" alive
for ((w = 1; w <= ${weapons:-0}; w++)); do
    viewer_key KP_Multiply space 94
    alive || break
done
viewer_key KP_Divide KP_Divide
viewer_check "the viewer survived every weapon" alive

# A whole round later the first player is current again and still drawn.
viewer_check "after a whole round the first player is drawn again" has 2000 like_at "$model" "${blue[@]}"

viewer_stop 60
viewer_check "Escape ends the program with status 0 (got $VIEWER_STATUS)" [ "$VIEWER_STATUS" = 0 ]
report=$(grep -m 3 -E 'Sanitizer|runtime error' "$work/run/viewer.out")
viewer_check "no sanitizer report${report:+: $report}" [ -z "$report" ]
debug=$work/run/kelDebug.txt
for file in players/cutmd3/lower.md3 players/badmd3/lower.md3 weapons2/gunbad/gunbad.md3 \
    weapons2/gunparts/gunparts_barrel.md3 players/manyanim/animation.cfg players/badtex/skin.tga; do
    viewer_check "the debug file names models/$file" grep -q "models/$file" "$debug"
done

echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
