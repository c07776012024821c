#!/usr/bin/env bash
# Measures the viewer's start-up: the CPU time (user + system) of the whole process from its
# start to the end of its first frame with a model (KEL_EXIT_AFTER_FIRST_FRAME=1 ends it there),
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
# Runs under the virtual display: one line "<name> <cpu seconds>" per run.
set -euo pipefail
work=$1 viewer=$2 minigl=$3 rounds=$4 configs=$5
export LP_NUM_THREADS=1 KEL_EXIT_AFTER_FIRST_FRAME=1
TIMEFORMAT='%3U %3S'
cpu() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'; }
for ((r = 0; r < rounds; r++)); do
    echo "minigl $(cpu "$minigl" 1024 768)"
    for c in $configs; do
        echo "$c $(cd "$work/$c" && cpu "$viewer")"
    done
done
SH
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$work/measure.sh" "$work" "$build/viewer" \
    "$build/minigl" "$rounds" "$configs" >"$work/times"

median() { grep "^$1 " "$work/times" | awk '{ print $2 }' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
base=$(median minigl)
printf "%-34s %8s %8s\n" "median of $rounds runs" "CPU ms" "ratio"
printf "%-34s %8.0f %8s\n" "minigl (window, triangle, swap)" "$(awk -v b="$base" 'BEGIN { print b * 1000 }')" "1.00"
for c in $configs; do
    m=$(median "$c")
    printf "%-34s %8.0f %8.2f\n" "viewer mountall ${c%-*} gamelook ${c#*-}" \
        "$(awk -v m="$m" 'BEGIN { print m * 1000 }')" "$(awk -v m="$m" -v b="$base" 'BEGIN { print m / b }')"
done
for m in 0 1; do
    g0=$(median "$m-0") g1=$(median "$m-1")
    echo "mountall $m: gamelook 1 against 0: $(awk -v a="$g0" -v b="$g1" 'BEGIN { printf "%+.0f %%", (b / a - 1) * 100 }')"
done
