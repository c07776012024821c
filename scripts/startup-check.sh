#!/usr/bin/env bash
# Measures the viewer's start-up: the CPU time (user + system, every thread) of the whole process
# from its start to the end of its first frame with a model (KEL_EXIT_AFTER_FIRST_FRAME=1 ends it
# there), and the wall-clock time it took,
# against tools/minigl (a window, a clear, one triangle, one swap) measured the same way in the
# same run, on a virtual display with the software renderer. Four settings of the shipped
# app.cfg: mountall 0 (pak0.pk3 alone) and 1 (every archive), each with gamelook 0 and 1. Each
# program runs ROUNDS times (default 9), interleaved; the median counts.
#   scripts/startup-check.sh [game folder, default /usr/share/games/openarena/baseoa]
# BUILD names the build folder (default build/, configured and built here when missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
game=$(realpath "${1:-/usr/share/games/openarena/baseoa}")
rounds=${ROUNDS:-9}
build=$(realpath "${BUILD:-$root/build}")
if [ ! -x "$build/viewer" ] || [ ! -x "$build/minigl" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
    cmake --build "$build" -j"$(nproc)" --target viewer minigl >/dev/null
fi
work=$(mktemp -d /tmp/kel-startup.XXXXXX)
trap 'rm -rf "$work"' EXIT

configs="0-0 0-1 1-0 1-1" # mountall-gamelook
for c in $configs; do
    mkdir "$work/$c"
    cp "$root/base/convars.cfg" "$root/base/font_arial.tga" "$root/base/console.tga" "$work/$c/"
    sed -e "s#^\(q3apath[[:space:]]*=\).*#\1 $(dirname "$game")#" \
        -e "s#^\(q3game[[:space:]]*=\).*#\1 $(basename "$game")#" \
        -e "s#^\(mountall[[:space:]]*=\).*#\1 ${c%-*}#" -e "s#^\(gamelook[[:space:]]*=\).*#\1 ${c#*-}#" \
        "$root/base/app.cfg" >"$work/$c/app.cfg"
done

cat >"$work/measure.sh" <<'SH'
#!/usr/bin/env bash
# Runs under the virtual display: one line "<name> <cpu seconds> <wall seconds>" per run.
set -euo pipefail
work=$1 viewer=$2 minigl=$3 rounds=$4 configs=$5
export LP_NUM_THREADS=1 KEL_EXIT_AFTER_FIRST_FRAME=1
TIMEFORMAT='%3U %3S %3R'
cpu() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2, $3 }'; }
for ((r = 0; r < rounds; r++)); do
    echo "minigl $(cpu "$minigl" 1024 768)"
    for c in $configs; do
        echo "$c $(cd "$work/$c" && cpu "$viewer")"
    done
done
SH
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$work/measure.sh" "$work" "$build/viewer" \
    "$build/minigl" "$rounds" "$configs" >"$work/times"

# median <name> <column>: column 2 is the CPU, 3 the wall clock
median() { grep "^$1 " "$work/times" | awk -v c="$2" '{ print $c }' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
base=$(median minigl 2) baseWall=$(median minigl 3)
printf "%-34s %8s %8s %8s %8s\n" "median of $rounds runs" "CPU ms" "ratio" "wall ms" "ratio"
ms() { awk -v m="$1" 'BEGIN { printf "%8.0f", m * 1000 }'; }
ratio() { awk -v m="$1" -v b="$2" 'BEGIN { printf "%8.2f", m / b }'; }
printf "%-34s %s %8s %s %8s\n" "minigl (window, triangle, swap)" "$(ms "$base")" "1.00" "$(ms "$baseWall")" "1.00"
for c in $configs; do
    m=$(median "$c" 2) w=$(median "$c" 3)
    printf "%-34s %s %s %s %s\n" "viewer mountall ${c%-*} gamelook ${c#*-}" "$(ms "$m")" "$(ratio "$m" "$base")" \
        "$(ms "$w")" "$(ratio "$w" "$baseWall")"
done
percent() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.0f %%", (b / a - 1) * 100 }'; }
for m in 0 1; do
    echo "mountall $m: gamelook 1 against 0: CPU $(percent "$(median "$m-0" 2)" "$(median "$m-1" 2)")," \
        "wall $(percent "$(median "$m-0" 3)" "$(median "$m-1" 3)")"
done
