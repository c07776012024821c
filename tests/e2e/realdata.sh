#!/usr/bin/env bash
# End to end on the real OpenArena archive: steps through every player with every skin and
# every weapon, and checks that nothing crashes and that every debug message is one the
# archive's contents explain. Skipped when the archive has not been fetched.
# Runs on a display of its own.
#   realdata.sh <viewer binary> <source folder>
set -uo pipefail
source "$(dirname "$0")/preamble.bash"
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1

oa=${KEL_OA_BASE:-$src/data/openarena/usr/share/games/openarena/baseoa}
if [ ! -f "$oa/pak0.pk3" ]; then
    echo "skipped: no OpenArena archive (./test.sh fetches it)"
    exit 0
fi

work=$(mktemp -d /tmp/kel-real.XXXXXX)
VIEWER_FAILURES=0
trap '[ -n "${VIEWER_PID:-}" ] && kill "$VIEWER_PID" 2>/dev/null; [ "$VIEWER_FAILURES" -eq 0 ] && rm -rf "$work" || echo "files kept in $work"' EXIT

mkdir -p "$work/game/baseq3"
ln -s "$(realpath "$oa/pak0.pk3")" "$work/game/baseq3/pak0.pk3"
run_folder "$work/run" "$work/game" || exit 1

VIEWER_TMP=$work
viewer_start "$viewer" "$work/run" || exit 1
model="360x600+330+100"
viewer_check "a player is drawn at start" has 3000 lit_at "$model"
read -r players weapons < <(sed -n 's/^ViewerApp:: \([0-9]*\) players, \([0-9]*\) weapons listed$/\1 \2/p' \
    "$work/run/kelLog.txt")
viewer_check "the archive lists 3 players and 10 weapons (got ${players:-?} and ${weapons:-?})" \
    [ "${players:-0}-${weapons:-0}" = 3-10 ]

# Every player (grism, a folder of textures, shows nothing), each with skins 1 to 7.
for ((p = 1; p <= ${players:-0}; p++)); do
    viewer_key KP_Add
    for s in 1 2 3 4 5 6 7; do
        viewer_key "$s"
        sleep 0.3
        viewer_shot "$work/player$p-skin$s.png" "$model"
        kill -0 "$VIEWER_PID" 2>/dev/null || break 2
    done
    viewer_key 1
done
viewer_check "the viewer survived every player and skin" kill -0 "$VIEWER_PID"
for ((w = 1; w <= ${weapons:-0}; w++)); do
    viewer_key KP_Multiply
    sleep 0.3
    viewer_shot "$work/weapon$w.png" "$model"
done
viewer_check "the viewer survived every weapon" kill -0 "$VIEWER_PID"
viewer_key KP_Add
viewer_check "stepping on from the last player shows a model again" has 3000 lit_at "$model"

viewer_stop
viewer_check "Escape ends the program with status 0 (got $VIEWER_STATUS)" [ "$VIEWER_STATUS" = 0 ]
viewer_check "kelLog.txt has the archive's opened line" \
    grep -q "^ZipFile:: $work/game/baseq3/pak0.pk3 opened , numEntries 1042\.$" "$work/run/kelLog.txt"
# What the archive explains: grism holds no model files, shells holds only casings, and most
# weapons come without a barrel or a flash.
unexpected=$(grep -v -E \
    -e '^CRessMgr:: models/players/grism/lower\.md3 ressource loading failed! $' \
    -e '^CRessMgr:: models/weapons2/shells/shells\.md3 ressource loading failed! $' \
    -e '^CRessMgr:: models/weapons2/([a-z]+)/[a-z]+_(barrel|flash)\.md3 ressource loading failed! $' \
    -e '^$' "$work/run/kelDebug.txt")
viewer_check "kelDebug.txt holds only messages the archive explains${unexpected:+: $unexpected}" [ -z "$unexpected" ]
# Under ./test.sh --sanitize the viewer is built with AddressSanitizer and UBSan.
report=$(grep -m 3 -E 'Sanitizer|runtime error' "$work/run/viewer.out")
viewer_check "no sanitizer report${report:+: $report}" [ -z "$report" ]

echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
