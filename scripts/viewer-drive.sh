# Helpers that drive the viewer on an X display (a real one or Xvfb): start it, send keys and
# mouse events to its window, take screenshots, stop it. Source this file; it needs xdotool and
# ImageMagick. Used by ./run.sh and by the end-to-end tests.

# viewer_start <viewer binary> <working folder>: starts the viewer there and waits for its
# window. Sets VIEWER_PID, VIEWER_WIN and the window geometry VIEWER_X/Y/W/H.
viewer_start() {
    local bin=$1 dir=$2
    (cd "$dir" && exec "$bin") >"$dir/viewer.out" 2>&1 &
    VIEWER_PID=$!
    VIEWER_WIN=$(timeout 30 xdotool search --sync --onlyvisible --pid "$VIEWER_PID" 2>/dev/null | head -n 1) || true
    if [ -z "$VIEWER_WIN" ]; then
        echo "viewer-drive: the viewer window did not appear" >&2
        return 1
    fi
    viewer_geometry
    # Without a window manager keyboard focus follows the pointer: park it on the window, then
    # move it by one pixel so that the last mouse difference the camera sees is small.
    xdotool mousemove --window "$VIEWER_WIN" $((VIEWER_W / 2)) $((VIEWER_H - 20))
    xdotool mousemove_relative 1 0
    xdotool windowfocus --sync "$VIEWER_WIN" 2>/dev/null || true
}

viewer_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$VIEWER_WIN")"
    VIEWER_X=$X VIEWER_Y=$Y VIEWER_W=$WIDTH VIEWER_H=$HEIGHT
}

# viewer_key <key>...: presses and releases each key (xdotool key names), then lets a few
# frames pass.
viewer_key() {
    xdotool key --delay 60 "$@"
    sleep "${VIEWER_SETTLE:-0.4}"
}

# viewer_shot <file.png> [WxH+X+Y]: screenshot of the window, or of a region of it.
viewer_shot() {
    local file=$1 region=${2:-${VIEWER_W}x${VIEWER_H}+0+0}
    local w h x y
    IFS='x+' read -r w h x y <<<"$region"
    import -window root -crop "${w}x${h}+$((VIEWER_X + x))+$((VIEWER_Y + y))" +repage "$file"
}

# viewer_count_color <file.png> <#RRGGBB>: how many pixels have exactly that colour.
viewer_count_color() {
    convert "$1" -format %c histogram:info:- | awk -v c="$(echo "$2" | tr a-f A-F)" \
        'index(toupper($0), c) { gsub(":", "", $1); n += $1 } END { print n + 0 }'
}

# viewer_count_lit <file.png>: how many pixels are not black.
viewer_count_lit() {
    convert "$1" -format %c histogram:info:- | awk \
        '!/#000000/ { gsub(":", "", $1); n += $1 } END { print n + 0 }'
}

# viewer_stop [seconds]: sends Escape and waits for the viewer to end; prints its exit status
# (or "timeout" after killing it).
viewer_stop() {
    local limit=${1:-20} i
    xdotool key Escape 2>/dev/null || true
    for ((i = 0; i < limit * 10; i++)); do
        if ! kill -0 "$VIEWER_PID" 2>/dev/null; then
            wait "$VIEWER_PID" && echo 0 || echo $?
            return 0
        fi
        sleep 0.1
    done
    kill "$VIEWER_PID" 2>/dev/null || true
    wait "$VIEWER_PID" 2>/dev/null || true
    echo timeout
}
