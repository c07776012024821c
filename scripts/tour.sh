#!/usr/bin/env bash
# Runs the viewer on the current display, steps through every player (with every skin) and
# every weapon, and saves a screenshot of each step.
#   scripts/tour.sh <viewer binary> <working folder> <screenshot folder>
set -euo pipefail
bin=$1 workdir=$2 shots=$3
source "$(dirname "$0")/viewer-drive.sh"
export LP_NUM_THREADS=${LP_NUM_THREADS:-1}
mkdir -p "$shots"
rm -f "$shots"/*.png

VIEWER_SETTLE=0.5
viewer_start "$bin" "$workdir"
sleep 2
log=$workdir/kelLog.txt
read -r players weapons < <(sed -n 's/^ViewerApp:: \([0-9]*\) players, \([0-9]*\) weapons listed$/\1 \2/p' "$log")
players=${players:-0} weapons=${weapons:-0}
viewer_shot "$shots/start.png"

# Players: the keypad plus key acts on release; skins are the digit keys 1 to 7.
for ((p = 1; p <= players; p++)); do
    viewer_key KP_Add
    viewer_shot "$shots/player$p.png"
    for s in 2 3 4 5 6 7; do
        viewer_key "$s"
    done
    viewer_key 1
done
for ((w = 1; w <= weapons; w++)); do
    viewer_key KP_Multiply
    viewer_shot "$shots/weapon$w.png"
done
viewer_stop
echo "tour: $players players and $weapons weapons shown; viewer exit status $VIEWER_STATUS"
echo "tour: screenshots in $shots"
echo "tour: debug and log files: $workdir/kelDebug.txt, $workdir/kelLog.txt"
