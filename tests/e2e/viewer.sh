#!/usr/bin/env bash
# End to end: the real viewer, started with the shipped settings on a game folder that
# make_gamedata writes, driven with X input events and checked by screenshots and by its log
# and debug files.
#   viewer.sh <viewer binary> <source folder>      (needs an X display, such as Xvfb's)
set -uo pipefail
viewer=$(realpath "$1")
src=$(realpath "$2")
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1

work=$(mktemp -d /tmp/kel-e2e.XXXXXX)
cleanup() {
    if [ -n "${VIEWER_PID:-}" ] && kill -0 "$VIEWER_PID" 2>/dev/null; then
        kill "$VIEWER_PID" 2>/dev/null
    fi
    if [ "$failures" -eq 0 ]; then rm -rf "$work"; else echo "screenshots and files kept in $work"; fi
}
failures=0
trap cleanup EXIT

check() { # <description> <command...>
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}
more() { [ "$1" -gt "$2" ]; }
none() { [ "$1" -eq 0 ]; }

# The game folder and a working folder holding the shipped defaults, pointed at that game.
"$(dirname "$viewer")/tests/make_gamedata" "$work/game" || exit 1
mkdir "$work/run"
for f in app.cfg convars.cfg font_arial.tga console.tga; do
    [ -f "$src/base/$f" ] && cp "$src/base/$f" "$work/run/"
done
sed -i "s#^\(q3apath[[:space:]]*=\).*#\1 $work/game#" "$work/run/app.cfg"

viewer_start "$viewer" "$work/run" || exit 1
sleep 2
shot=$work/start.png
viewer_shot "$shot"
# The model sits in the middle of the window, the lists at the left, the statistics at the right.
model="360x560+330+120"
blue='#0000FF' magenta='#FF00FF' cyan='#00FFFF' yellow='#FFFF00' orange='#FF8000' green='#00FF00'

check "the first player that loads is drawn at start, with the first weapon" \
    more "$(viewer_count_color "$shot" "$blue")" 2000
check "the weapon hangs on it" more "$(viewer_count_color "$shot" "$cyan")" 100
viewer_shot "$work/overlay.png" "300x200+0+0"
check "the overlay writes the lists, the current entry in green" \
    more "$(viewer_count_color "$work/overlay.png" "$green")" 50
check "the overlay writes white text" more "$(viewer_count_color "$work/overlay.png" '#FFFFFF')" 50

viewer_key KP_Add
viewer_shot "$work/next.png" "$model"
check "releasing keypad plus shows the next player" more "$(viewer_count_color "$work/next.png" "$magenta")" 2000
check "the previous player is gone" none "$(viewer_count_color "$work/next.png" "$blue")"
check "the new player holds the weapon" more "$(viewer_count_color "$work/next.png" "$cyan")" 100

viewer_key KP_Multiply
viewer_shot "$work/weapon.png" "$model"
check "keypad * hangs the next weapon" more "$(viewer_count_color "$work/weapon.png" "$yellow")" 100
check "the old weapon is gone" none "$(viewer_count_color "$work/weapon.png" "$cyan")"

# The arrow keys are bound in convars.cfg: the player after the last is the folder of textures
# only, which shows nothing, and the one after that the first player again.
viewer_key Right
viewer_shot "$work/empty.png" "$model"
check "a player that does not load shows nothing" none "$(viewer_count_lit "$work/empty.png")"
viewer_key Right
viewer_shot "$work/first.png" "$model"
check "the bound right arrow steps on to the first player" more "$(viewer_count_color "$work/first.png" "$blue")" 2000

viewer_key 2
viewer_shot "$work/skin.png" "$model"
check "releasing 2 dresses the player in its second skin" more "$(viewer_count_color "$work/skin.png" "$orange")" 2000
check "no part keeps the first skin" none "$(viewer_count_color "$work/skin.png" "$blue")"
viewer_key 1
viewer_shot "$work/skin1.png" "$model"
check "releasing 1 brings the first skin back" more "$(viewer_count_color "$work/skin1.png" "$blue")" 2000

viewer_key space
viewer_shot "$work/gunoff.png" "$model"
check "the bound space bar takes the weapon away" none "$(viewer_count_color "$work/gunoff.png" "$yellow")"
viewer_key 94
viewer_shot "$work/gunon.png" "$model"
check "releasing the less-than key hangs it again" more "$(viewer_count_color "$work/gunon.png" "$yellow")" 100

# A left-button drag turns the model about its own origin.
before=$work/before-drag.png after=$work/after-drag.png
viewer_shot "$before" "$model"
xdotool mousedown 1
for i in 1 2 3 4 5 6; do
    xdotool mousemove_relative -- 10 0
    sleep 0.05
done
xdotool mouseup 1
sleep 0.4
viewer_shot "$after" "$model"
changed=$(compare -metric AE "$before" "$after" null: 2>&1 | cut -d' ' -f1)
check "a left-button drag turns the model" more "${changed%%.*}" 2000
check "the turned model is still there" more "$(viewer_count_color "$after" "$blue")" 1000

viewer_key q
viewer_shot "$work/hidden.png"
check "releasing q hides the lists and statistics" none "$(viewer_count_color "$work/hidden.png" "$green")"
viewer_key q

# The console: the bound key opens it, "fov 90" widens the view, the mouse wheel closes it.
# Above the model and between the lists and the statistics only the console draws.
top="330x70+360+40"
viewer_shot "$work/noconsole.png" "$top"
check "nothing is drawn above the model" none "$(viewer_count_lit "$work/noconsole.png")"
viewer_key grave
viewer_shot "$work/console.png" "$top"
check "the bound key opens the console" more "$(viewer_count_lit "$work/console.png")" 10000
viewer_shot "$work/fov60.png" "$model"
xdotool key F5
xdotool type --delay 60 "fov 90"
viewer_key Return
xdotool click 4
sleep 0.5
viewer_shot "$work/fov90.png" "$model"
wide=$(viewer_count_color "$work/fov60.png" "$blue")
narrow=$(viewer_count_color "$work/fov90.png" "$blue")
check "fov 90 typed in the console makes the model smaller ($wide -> $narrow pixels)" \
    more "$((wide * 7 / 10))" "$narrow"
check "the model is still drawn" more "$narrow" 500
viewer_shot "$work/closed.png" "$top"
check "the mouse wheel closes the console" none "$(viewer_count_lit "$work/closed.png")"

status=$(viewer_stop)
check "Escape ends the program with status 0 (got $status)" [ "$status" = 0 ]

check "kelLog.txt has the archive's opened line" \
    grep -q "^ZipFile:: $work/game/baseq3/pak0.pk3 opened , numEntries [0-9]*\.$" "$work/run/kelLog.txt"
# Every debug message must be one the test expects: the player folder without models fails
# at start and once more when it is selected again.
unexpected=$(grep -v -e '^CRessMgr:: models/players/empty/lower.md3 ressource loading failed! $' \
    -e '^$' "$work/run/kelDebug.txt")
check "kelDebug.txt holds only expected messages${unexpected:+: $unexpected}" [ -z "$unexpected" ]
empty_fails=$(grep -c 'models/players/empty/lower.md3' "$work/run/kelDebug.txt")
check "the failed player was tried at start and when selected again, not every frame ($empty_fails)" \
    [ "$empty_fails" -eq 2 ]

echo "$failures failed"
[ "$failures" -eq 0 ]
