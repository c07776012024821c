#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it in base/, where its settings
# (app.cfg, convars.cfg) and images are. When app.cfg's q3apath names no folder holding
# baseq3/pak0.pk3, a game folder is prepared from the free OpenArena data and used instead.
# Without a display the viewer runs on a virtual one, steps through every player and weapon,
# and saves screenshots in out/screens/.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
scripts/install-deps.sh
cmake -S . -B build -DKEL_TESTS=OFF -DKEL_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target viewer

# q3apath as the viewer reads it: the first such line, comment cut, quotes and outer blanks gone.
q3apath=$(grep -i -m 1 '^[[:space:]]*q3apath[[:space:]]*=' base/app.cfg |
    sed 's/^[^=]*=//; s#//.*##; s/"//g; s/^[[:space:]]*//; s/[[:space:]]*$//' || true)
case "$q3apath" in
/*) game=$q3apath ;;
*) game=$root/base/$q3apath ;;
esac

workdir=$root/base
if [ -z "$q3apath" ] || [ ! -f "$game/baseq3/pak0.pk3" ]; then
    # The default game folder: OpenArena's archive under the name the viewer mounts.
    oa=$(scripts/fetch-data.sh)
    mkdir -p data/game/baseq3
    ln -sfn "$oa/pak0.pk3" data/game/baseq3/pak0.pk3
    if [ "$(realpath -m "$game")" != "$(realpath -m "$root/data/game")" ]; then
        echo "run: q3apath \"$q3apath\" in base/app.cfg holds no baseq3/pak0.pk3;" \
            "using the OpenArena data in data/game"
        # Run from a copy of base/ whose app.cfg names the default folder; base/ stays as it is.
        workdir=$root/data/run
        mkdir -p "$workdir"
        for f in base/*; do
            case "$(basename "$f")" in
            app.cfg | kel*.txt | viewer.out) ;;
            *) ln -sfn "$root/$f" "$workdir/" ;;
            esac
        done
        # The first line of a key wins, so a q3apath line on top overrides the user's.
        { echo "q3apath = $root/data/game"; cat base/app.cfg; } >"$workdir/app.cfg"
    fi
fi

if [ -n "${DISPLAY:-}" ]; then
    echo "run: starting the viewer in $workdir (debug and log files: kelDebug.txt, kelLog.txt there)"
    cd "$workdir" && exec "$root/build/viewer"
fi

echo "run: no display; touring the models on a virtual display"
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" scripts/tour.sh "$root/build/viewer" "$workdir" "$root/out/screens"
