#!/usr/bin/env bash
# End to end: the real viewer, started with the shipped settings on a game folder that
# make_gamedata writes, driven with X input events and checked by screenshots and by its log
# and debug files. Runs on a display of its own, so that no other test's window takes the
# pointer or covers the viewer.
#   viewer.sh <viewer binary> <source folder>
set -uo pipefail
if [ -z "${KEL_E2E_DISPLAY:-}" ]; then
    export KEL_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
viewer=$(realpath "$1")
src=$(realpath "$2")
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1

work=$(mktemp -d /tmp/kel-e2e.XXXXXX)
VIEWER_FAILURES=0
cleanup() {
    if [ -n "${VIEWER_PID:-}" ] && kill -0 "$VIEWER_PID" 2>/dev/null; then
        kill "$VIEWER_PID" 2>/dev/null
    fi
    if [ "$VIEWER_FAILURES" -eq 0 ]; then rm -rf "$work"; else echo "screenshots and files kept in $work"; fi
}
trap cleanup EXIT

# The game folder and a working folder holding the shipped defaults, pointed at that game.
"$(dirname "$viewer")/tests/make_gamedata" "$work/game" || exit 1
mkdir "$work/run"
for f in app.cfg convars.cfg font_arial.tga console.tga; do
    cp "$src/base/$f" "$work/run/" || exit 1
done
# The plain look (gamelook 0): models unlit, so each box shows its texture's exact colour; the
# camera where it starts without framing.
sed -i -e "s#^\(q3apath[[:space:]]*=\).*#\1 $work/game#" -e "s#^\(q3game[[:space:]]*=\).*#\1 baseq3#" \
    -e "s#^\(mountall[[:space:]]*=\).*#\1 0#" -e "s#^\(gamelook[[:space:]]*=\).*#\1 0#" \
    -e "s#^\(framing[[:space:]]*=\).*#\1 0#" "$work/run/app.cfg"

VIEWER_TMP=$work
viewer_start "$viewer" "$work/run" || exit 1

# The model sits in the middle of the window, the lists at the left (rows of 13 pixels from
# y = 56), the statistics at the right. Each model part has a texture of one solid colour.
model="360x560+330+120"
blue='#0000FF' magenta='#FF00FF' cyan='#00FFFF' yellow='#FFFF00' orange='#FF8000'
green=(0 40 150 255 0 40)
white=(200 255 200 255 200 255)

viewer_check "the first player that loads is drawn at start" has 2000 color_at "$model" "$blue"
viewer_check "with the first weapon in its hand" has 100 color_at "$model" "$cyan"
viewer_check "the overlay writes the frame rate in white" has 10 like_at "100x12+0+0" "${white[@]}"
viewer_check "the player that failed to load is listed in grey" has 5 like_at "250x13+0+56" 150 185 150 185 150 185
viewer_check "and in nothing brighter" lacks like_at "250x13+0+56" 186 255 0 255 0 255
viewer_check "the current player is listed in green" has 50 like_at "250x13+0+69" "${green[@]}"
viewer_check "so is the current weapon" has 50 like_at "250x13+0+147" "${green[@]}"

viewer_key KP_Add
viewer_check "releasing keypad plus shows the next player" has 2000 color_at "$model" "$magenta"
viewer_check "the previous player is gone" lacks color_at "$model" "$blue"
viewer_check "the new player holds the weapon" has 100 color_at "$model" "$cyan"

viewer_key KP_Multiply
viewer_check "keypad * hangs the next weapon" has 100 color_at "$model" "$yellow"
viewer_check "the old weapon is gone" lacks color_at "$model" "$cyan"

# The arrow keys are bound in convars.cfg: after the last player comes the folder of textures
# only, which shows nothing, and then the first player again.
viewer_key Right
viewer_check "a player that does not load shows nothing" lacks lit_at "$model"
viewer_key Right
viewer_check "the bound right arrow steps on to the first player" has 2000 color_at "$model" "$blue"

viewer_key 2
viewer_check "releasing 2 dresses the player in its second skin" has 2000 color_at "$model" "$orange"
viewer_check "no part keeps the first skin" lacks color_at "$model" "$blue"
viewer_key 1
viewer_check "releasing 1 brings the first skin back" has 2000 color_at "$model" "$blue"

viewer_key space
viewer_check "the bound space bar takes the weapon away" lacks color_at "$model" "$yellow"
viewer_key 94
viewer_check "releasing the less-than key hangs it again" has 100 color_at "$model" "$yellow"

# A left-button drag turns the model about its own origin.
viewer_shot "$work/before-drag.png" "$model"
xdotool mousedown 1
for i in 1 2 3 4 5 6; do
    xdotool mousemove_relative -- 10 0
    sleep 0.05
done
xdotool mouseup 1
turned() {
    viewer_shot "$work/after-drag.png" "$model"
    local changed
    changed=$(compare -metric AE "$work/before-drag.png" "$work/after-drag.png" null: 2>&1 | cut -d' ' -f1)
    [ "${changed%%.*}" -gt 2000 ]
}
viewer_check "a left-button drag turns the model" turned
viewer_check "the turned model is still there" has 1000 color_at "$model" "$blue"

viewer_key q
viewer_check "releasing q hides the lists and statistics" lacks like_at "1024x768+0+0" "${green[@]}"
viewer_key q
viewer_check "releasing q again shows them" has 50 like_at "250x13+0+69" "${green[@]}"

# The console: the bound key opens it, "fov 90" widens the view, the mouse wheel closes it.
# Above the model, between the lists and the statistics, only the console draws.
top="330x70+360+40"
wide=$(color_at "$model" "$blue")
viewer_check "nothing is drawn above the model" lacks lit_at "$top"
viewer_key grave
viewer_check "the bound key opens the console" has 10000 lit_at "$top"
xdotool key F5
xdotool type --delay 60 "fov 90"
viewer_key Return
xdotool click 4
viewer_check "the mouse wheel closes the console" lacks lit_at "$top"
narrower() { [ "$(color_at "$model" "$blue")" -lt $((wide / 2)) ]; }
viewer_check "fov 90 typed in the console makes the model smaller than half its $wide pixels" narrower
viewer_check "the model is still drawn" has 500 color_at "$model" "$blue"

viewer_stop
viewer_check "Escape ends the program with status 0 (got $VIEWER_STATUS)" [ "$VIEWER_STATUS" = 0 ]
viewer_check "kelLog.txt has the archive's opened line" \
    grep -q "^ZipFile:: $work/game/baseq3/pak0.pk3 opened , numEntries [0-9]*\.$" "$work/run/kelLog.txt"
# Every debug message must be one the test expects: the player folder without models fails
# at start and once more when it is selected again, not in every frame.
unexpected=$(grep -v -e '^CRessMgr:: models/players/empty/lower.md3 ressource loading failed! $' \
    -e '^$' "$work/run/kelDebug.txt")
viewer_check "kelDebug.txt holds only expected messages${unexpected:+: $unexpected}" [ -z "$unexpected" ]
tries=$(grep -c 'models/players/empty/lower.md3' "$work/run/kelDebug.txt")
viewer_check "the failed player was tried at start and when selected again ($tries times)" [ "$tries" -eq 2 ]

echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
