# Helpers that drive the viewer on an X display (a real one or Xvfb): start it, send keys and
# mouse events to its window, take screenshots, stop it. Source this file; it needs xdotool and
# ImageMagick. Used by ./run.sh and by the end-to-end tests.

# viewer_start <viewer binary> <working folder> [argument...]: starts the viewer there with the
# arguments and waits for its window. Sets VIEWER_PID, VIEWER_WIN and the window geometry
# VIEWER_X/Y/W/H.
viewer_start() {
    local bin=$1 dir=$2
    (cd "$dir" && exec "$bin" "${@:3}") >"$dir/viewer.out" 2>&1 &
    VIEWER_PID=$!
    VIEWER_TMP=${VIEWER_TMP:-$dir}
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
    sleep "${VIEWER_SETTLE:-0.1}"
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

# viewer_count_like <file.png> <rmin> <rmax> <gmin> <gmax> <bmin> <bmax>: how many pixels have
# each channel inside its range (antialiased text has few pixels of its exact colour).
viewer_count_like() {
    convert "$1" -format %c histogram:info:- | awk -v r0="$2" -v r1="$3" -v g0="$4" -v g1="$5" -v b0="$6" -v b1="$7" '
        match($0, /\( *[0-9]+, *[0-9]+, *[0-9]+/) {
            split(substr($0, RSTART + 1, RLENGTH - 1), c, ",")
            if (c[1] + 0 >= r0 && c[1] + 0 <= r1 && c[2] + 0 >= g0 && c[2] + 0 <= g1 && c[3] + 0 >= b0 && c[3] + 0 <= b1) {
                count = $1; gsub(":", "", count); n += count
            }
        }
        END { print n + 0 }'
}

# viewer_count_lit <file.png>: how many pixels are not black.
viewer_count_lit() {
    convert "$1" -format %c histogram:info:- | awk \
        '!/#000000/ { gsub(":", "", $1); n += $1 } END { print n + 0 }'
}

# viewer_stop [seconds]: sends Escape and waits for the viewer to end. Sets VIEWER_STATUS to
# its exit status, or "timeout" when it had to be killed.
viewer_stop() {
    local limit=${1:-20} i
    xdotool key Escape 2>/dev/null || true
    for ((i = 0; i < limit * 10; i++)); do
        if ! kill -0 "$VIEWER_PID" 2>/dev/null; then
            VIEWER_STATUS=0
            wait "$VIEWER_PID" || VIEWER_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    kill "$VIEWER_PID" 2>/dev/null || true
    wait "$VIEWER_PID" 2>/dev/null || true
    VIEWER_STATUS=timeout
}

# Counters on a fresh screenshot of a region (WxH+X+Y of the window), for viewer_check.
color_at() { viewer_shot "$VIEWER_TMP/at.png" "$1" && viewer_count_color "$VIEWER_TMP/at.png" "$2"; }
like_at() { viewer_shot "$VIEWER_TMP/at.png" "$1" && viewer_count_like "$VIEWER_TMP/at.png" "${@:2}"; }
lit_at() { viewer_shot "$VIEWER_TMP/at.png" "$1" && viewer_count_lit "$VIEWER_TMP/at.png"; }
# has <min> <counter...>: the counter gives more than min; lacks <counter...>: it gives 0.
has() { [ "$("${@:2}")" -gt "$1" ]; }
lacks() { [ "$("$@")" -eq 0 ]; }

# viewer_check <description> <command...>: runs the command until it succeeds, every 0.2 s
# for up to VIEWER_WAIT seconds (frames may lag behind input on a loaded machine); reports
# ok or FAIL and counts failures in VIEWER_FAILURES.
viewer_check() {
    local what=$1 i
    shift
    for ((i = 0; i <= ${VIEWER_WAIT:-6} * 5; i++)); do
        if "$@"; then
            echo "ok: $what"
            return 0
        fi
        sleep 0.2
    done
    echo "FAIL: $what"
    VIEWER_FAILURES=$((${VIEWER_FAILURES:-0} + 1))
    return 1
}
