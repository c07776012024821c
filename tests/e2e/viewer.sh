#!/usr/bin/env bash
# End to end: the real viewer with the shipped settings and bindings on a game folder that
# make_gamedata writes, driven with X input events and checked by screenshots and by its log
# and debug files; then its command line and screenshot files. Key and selection rules are the
# unit tests' job. Runs on a display of its own, so that no other window takes the pointer.
#   viewer.sh <viewer binary> <source folder>
set -uo pipefail
source "$(dirname "$0")/preamble.bash"
source "$src/scripts/viewer-drive.sh"
export LP_NUM_THREADS=1

work=$(mktemp -d /tmp/kel-e2e.XXXXXX)
VIEWER_FAILURES=0
trap '[ -n "${VIEWER_PID:-}" ] && kill "$VIEWER_PID" 2>/dev/null; [ "$VIEWER_FAILURES" -eq 0 ] && rm -rf "$work" || echo "files kept in $work"' EXIT

# The game folder and a working folder holding the shipped defaults, pointed at that game.
"$(dirname "$viewer")/tests/make_gamedata" "$work/game" || exit 1
# The plain look (gamelook 0): models unlit, so each box shows its texture's exact colour; the
# camera where it starts without framing.
run_folder "$work/run" "$work/game" gamelook 0 framing 0 || exit 1

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
viewer_check "the current player is listed in green" has 50 like_at "250x13+0+69" "${green[@]}"
# The player folder without models failed at start: its debug line shows at the bottom.
status="1024x18+0+748"
viewer_check "the failure shows on the status line" has 20 like_at "$status" 150 255 110 215 20 110
viewer_check "so is the current weapon" has 50 like_at "250x13+0+147" "${green[@]}"

viewer_key KP_Add
viewer_check "releasing keypad plus shows the next player" has 2000 color_at "$model" "$magenta"

# The arrow keys are bound in convars.cfg: after the last player comes the folder of textures
# only, which shows nothing, and then the first player again.
viewer_key Right
viewer_check "a player that does not load shows nothing" lacks lit_at "$model"
viewer_key Right
viewer_check "the bound right arrow steps on to the first player" has 2000 color_at "$model" "$blue"

# The console: the bound key opens it, "fov 90" widens the view, the same key (contoggleclose)
# closes it. Above the model, between the lists and the statistics, only the console draws.
top="330x70+360+40"
wide=$(color_at "$model" "$blue")
viewer_check "nothing is drawn above the model" lacks lit_at "$top"
viewer_key grave
viewer_check "the bound key opens the console" has 10000 lit_at "$top"
xdotool key F5
xdotool type --delay 60 "fov 90"
viewer_key Return grave
viewer_check "the bound key closes the console" lacks lit_at "$top"
narrower() { [ "$(color_at "$model" "$blue")" -lt $((wide / 2)) ]; }
viewer_check "fov 90 typed in the console makes the model smaller than half its $wide pixels" narrower
viewer_check "the model is still drawn" has 500 color_at "$model" "$blue"

# The mouse wheel zooms: up brings the model closer.
far=$(color_at "$model" "$blue")
xdotool click --repeat 3 --delay 80 4
closer() { [ "$(color_at "$model" "$blue")" -gt $((far * 3 / 2)) ]; }
viewer_check "three wheel steps up make the model bigger than $far pixels by half" closer

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


# The command line, with the game folder given there and the shipped framing.
sed -i -e "s#^\(framing[[:space:]]*=\).*#\1 1#" "$work/run/app.cfg"
cd "$work/run" || exit 1
game=$work/game/baseq3
size_is() { [ "$(identify -format %wx%h "$1")" = "$2" ]; }
count() { viewer_count_color "$@"; }
"$viewer" "$game" --player beta --anim LEGS_RUN --frame 1 --screenshot cli.png
status=$?
viewer_check "--screenshot writes the window's picture, ends with 0 (got $status)" \
    eval '[ "$status" = 0 ] && size_is cli.png 1024x768'
viewer_check "of the chosen player alone, framed large" eval '[ "$(count cli.png "$magenta")" -gt 40000 ] &&
    [ "$(count cli.png "$blue")" = 0 ]'
"$viewer" "$game" --model models/weapons2/gunA/gunA.md3 --screenshot model.png
viewer_check "--model shows the weapon part alone, framed" eval '[ "$(count model.png "$cyan")" -gt 40000 ] &&
    [ "$(count model.png "$blue")" = 0 ]'
sheet() {
    "$viewer" "$game" --sheet sheet.png >/dev/null && size_is sheet.png 960x200 || return 1
    for c in "$blue" "$orange" "$magenta" "$cyan" "$yellow"; do [ "$(count sheet.png "$c")" -gt 300 ] || return 1; done
}
viewer_check "--sheet draws six cells: alpha in two skins, beta, the folder that fails, two weapons" sheet
mkdir "$work/bare"
(cd "$work/bare" && "$viewer" "$game" --screenshot bare.png)
viewer_check "started without app.cfg it takes the shipped settings and writes its files there" \
    eval '[ -f "$work/bare/bare.png" ] && [ -f "$work/bare/kelLog.txt" ] && [ ! -f "$src/base/kelLog.txt" ]'
"$viewer" "$work" --screenshot none.png 2>err.txt
status=$?
viewer_check "a folder without archives ends with 1 (got $status), saying why" \
    eval '[ "$status" = 1 ] && grep -q "no .pk3 archive could be opened in $work" err.txt'

# The same view in a running viewer: F12 writes the same picture; p, ' and ; stop and step the
# animations (the overlay tells); a drag stops with the pointer, Backspace undoes it; f wireframe.
viewer_start "$viewer" "$work/run" "$game" --player beta --anim LEGS_RUN --frame 1 || exit 1
viewer_key F12
same() { [ -f "$1" ] && [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
viewer_check "F12 writes screenshots/shot-0000.png, the same as --screenshot" same screenshots/shot-0000.png cli.png
viewer_check "the log says where" grep -q "screenshot written to screenshots/shot-0000.png" kelLog.txt
note="400x13+420+0"
viewer_check "the overlay says the animations are stopped" has 50 lit_at "$note"
viewer_shot frame1.png "$note"
differs() { viewer_shot now.png "$2" && ! same now.png "$1"; }
matches() { viewer_shot now.png "$2" && same now.png "$1"; }
viewer_key apostrophe
viewer_check "' steps a frame on" differs frame1.png "$note"
viewer_key semicolon
viewer_check "; steps back to it" matches frame1.png "$note"
viewer_shot framed.png "$model"
xdotool mousedown 1
for i in 1 2 3; do xdotool mousemove_relative -- 10 4 && sleep 0.05; done
sleep 0.3
viewer_shot held.png "$model"
sleep 0.5
viewer_check "a drag turns the model" differs framed.png "$model"
viewer_check "it stops when the pointer stops, the button held" matches held.png "$model"
xdotool mouseup 1
viewer_key BackSpace
viewer_check "Backspace brings the framed view back" matches framed.png "$model"
viewer_key f
viewer_check "the bound f draws the polygons as lines" differs framed.png "$model"
viewer_key f
viewer_check "f again fills them" matches framed.png "$model"
viewer_key p
viewer_check "p sets them going" lacks lit_at "$note"
viewer_stop
viewer_check "Escape ends it with status 0 (got $VIEWER_STATUS)" [ "$VIEWER_STATUS" = 0 ]

echo "$VIEWER_FAILURES failed"
[ "$VIEWER_FAILURES" -eq 0 ]
