#!/usr/bin/env bash
# End to end: the command line (one screenshot, one model alone, the contact sheet, a game
# folder without archives) and the keys F12, p, ' and ; and Backspace through X input, on the
# game folder make_gamedata writes, with the shipped settings in the plain look.
#   viewer_tools.sh <viewer binary> <source folder>
set -uo pipefail
if [ -z "${KEL_E2E_DISPLAY:-}" ]; then
    export KEL_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
viewer=$(realpath "$1")
src=$(realpath "$2")
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1

work=$(mktemp -d /tmp/kel-tools.XXXXXX)
VIEWER_FAILURES=0
cleanup() {
    if [ -n "${VIEWER_PID:-}" ] && kill -0 "$VIEWER_PID" 2>/dev/null; then kill "$VIEWER_PID" 2>/dev/null; fi
    if [ "$VIEWER_FAILURES" -eq 0 ]; then rm -rf "$work"; else echo "screenshots and files kept in $work"; fi
}
trap cleanup EXIT

"$(dirname "$viewer")/tests/make_gamedata" "$work/game" || exit 1
mkdir "$work/run"
cp "$src"/base/{app.cfg,convars.cfg,font_arial.tga,console.tga} "$work/run/" || exit 1
sed -i -e "s#^\(gamelook[[:space:]]*=\).*#\1 0#" "$work/run/app.cfg"
cd "$work/run" || exit 1
game=$work/game/baseq3
blue='#0000FF' magenta='#FF00FF' cyan='#00FFFF' yellow='#FFFF00' orange='#FF8000'
count() { viewer_count_color "$1" "$2"; }
size_is() { [ "$(identify -format %wx%h "$1")" = "$2" ]; }

# The folder given on the command line replaces the game of app.cfg.
"$viewer" "$game" --player beta --anim LEGS_RUN --frame 1 --screenshot cli.png
status=$?
viewer_check "--screenshot writes the window's picture and ends with 0 (got $status)" \
    eval '[ "$status" = 0 ] && size_is cli.png 1024x768'
viewer_check "of the chosen player, framed large" has 40000 count cli.png "$magenta"
viewer_check "and no other" lacks count cli.png "$blue"
"$viewer" "$game" --model models/weapons2/gunA/gunA.md3 --screenshot model.png
viewer_check "--model shows the weapon part alone and framed" has 40000 count model.png "$cyan"
viewer_check "without the player" lacks count model.png "$blue"
sheet() { "$viewer" "$game" --sheet sheet.png >/dev/null && size_is sheet.png 960x200; }
viewer_check "--sheet writes six cells: alpha in two skins, beta, the folder that fails, two weapons" sheet
for c in "$blue" "$orange" "$magenta" "$cyan" "$yellow"; do
    viewer_check "the sheet shows $c" has 300 count sheet.png "$c"
done
"$viewer" "$work" --screenshot none.png 2>err.txt
status=$?
viewer_check "a folder without archives ends with 1 (got $status)" [ "$status" = 1 ]
viewer_check "and says why" grep -q "no .pk3 archive could be opened in $work" err.txt

# The same view in a running viewer: F12 writes the same picture.
viewer_start "$viewer" "$work/run" "$game" --player beta --anim LEGS_RUN --frame 1 || exit 1
viewer_key F12
same() { [ -f "$1" ] && [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
viewer_check "F12 writes screenshots/shot-0000.png, the same as --screenshot" same screenshots/shot-0000.png cli.png
viewer_check "the log says where" grep -q "screenshot written to screenshots/shot-0000.png" kelLog.txt
note="400x13+420+0" model="360x560+330+120"
viewer_check "the overlay says the animations are stopped" has 50 lit_at "$note"
viewer_shot frame1.png "$note"
viewer_key apostrophe
differs() { viewer_shot now.png "$2" && ! same now.png "$1"; }
viewer_check "' steps a frame on" differs frame1.png "$note"
viewer_key semicolon
matches() { viewer_shot now.png "$2" && same now.png "$1"; }
viewer_check "; steps back to it" matches frame1.png "$note"
viewer_key p
viewer_check "p sets them going" lacks lit_at "$note"
viewer_key p
viewer_check "p stops them again" has 50 lit_at "$note"
viewer_shot framed.png "$model"
xdotool mousedown 1
for i in 1 2 3; do
    xdotool mousemove_relative -- 10 4
    sleep 0.05
done
xdotool mouseup 1
viewer_check "a drag turns the model" differs framed.png "$model"
viewer_key BackSpace
viewer_check "Backspace brings the framed view back" matches framed.png "$model"

viewer_stop
viewer_check "Escape ends the program with status 0 (got $VIEWER_STATUS)" [ "$VIEWER_STATUS" = 0 ]
echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
