#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it in base/, where its settings
# (app.cfg, convars.cfg) and images are. The shipped app.cfg names the OpenArena game folder
# that Debian's openarena-data package installs (every archive of baseoa); the package is
# installed when missing (about 345 MB to download). When app.cfg names another game folder
# that holds no archive, the viewer runs on the OpenArena folder instead, from a copy of base/.
# Without a display the viewer runs on a virtual one, steps through every player and weapon,
# and saves screenshots in out/screens/.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
scripts/install-deps.sh
cmake -S . -B build -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target viewer

# A key of base/app.cfg as the viewer reads it: the first such line, comment cut, quotes and
# outer blanks gone.
setting() {
    grep -i -m 1 "^[[:space:]]*$1[[:space:]]*=" base/app.cfg |
        sed 's/^[^=]*=//; s#//.*##; s/"//g; s/^[[:space:]]*//; s/[[:space:]]*$//' || true
}
# has_archives <folder> <mountall>: whether the viewer finds its archive(s) there.
has_archives() {
    if [ "$2" = 1 ]; then
        [ -n "$(find "$1" -maxdepth 1 -iname '*.pk3' 2>/dev/null | head -n 1)" ]
    else
        [ -f "$1/pak0.pk3" ]
    fi
}

q3apath=$(setting q3apath)
q3game=$(setting q3game)
q3game=${q3game:-baseq3}
mountall=$(setting mountall)
case "$q3apath" in
/*) game=$q3apath ;;
*) game=$root/base/$q3apath ;;
esac

# The default game folder: every archive of the installed OpenArena data.
oa_root=/usr/share/games/openarena
workdir=$root/base
if [ -z "$q3apath" ] || ! has_archives "$game/$q3game" "$mountall"; then
    if [ ! -f "$oa_root/baseoa/pak0.pk3" ]; then
        echo "run: installing openarena-data and the packages it needs (about 345 MB to download)"
        SUDO=""
        [ "$(id -u)" -ne 0 ] && SUDO=sudo
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq openarena-data ||
            { $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq openarena-data; } ||
            { echo "run: could not install openarena-data" >&2; exit 1; }
    fi
    if [ -z "$q3apath" ] || ! has_archives "$game/$q3game" "$mountall"; then
        echo "run: q3apath \"$q3apath\" with q3game \"$q3game\" in base/app.cfg holds no archive;" \
            "using the OpenArena data in $oa_root/baseoa"
        # Run from a copy of base/ whose app.cfg names the default folder; base/ stays as it is.
        # The first line of a key wins, so the three lines put first decide.
        workdir=$root/data/run
        mkdir -p "$workdir"
        for f in base/*; do
            case "$(basename "$f")" in
            app.cfg | kel*.txt | viewer.out) ;;
            *) ln -sfn "$root/$f" "$workdir/" ;;
            esac
        done
        printf 'q3apath = %s\nq3game = baseoa\nmountall = 1\n' "$oa_root" | cat - base/app.cfg >"$workdir/app.cfg"
    fi
fi

if [ -n "${DISPLAY:-}" ]; then
    echo "run: starting the viewer in $workdir (debug and log files: kelDebug.txt, kelLog.txt there)"
    cd "$workdir" && exec "$root/build/viewer"
fi

echo "run: no display; touring the models on a virtual display"
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" scripts/tour.sh "$root/build/viewer" "$workdir" "$root/out/screens"
