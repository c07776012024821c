#!/usr/bin/env bash
# Fails when a file includes a header from a layer above its own. The layers, bottom to top, as
# the README's architecture table gives them; a folder may include its own headers and those of
# any folder before it. Test folders count as the layer of the library their program links.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(platform fs image text console shader model app viewer)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done
# Test folders and the library their programs link (tests/CMakeLists.txt).
declare -A testLayer=([fs]=fs [app]=app [console]=console [image]=image [text]=text [shader]=shader
    [model]=model [viewer]=viewer [realdata]=model)

status=0
check() { # file, the rank it may reach
    local file=$1 limit=$2 inc
    while IFS= read -r inc; do
        [ -n "${rank[$inc]+x}" ] || continue
        if [ "${rank[$inc]}" -gt "$limit" ]; then
            echo "check-layers: $file includes $inc/, a layer above its own" >&2
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*/\1/p' "$file")
}
for layer in "${layers[@]}"; do
    for f in "$layer"/*.cpp "$layer"/*.h; do
        [ -e "$f" ] && check "$f" "${rank[$layer]}"
    done
done
for sub in "${!testLayer[@]}"; do
    for f in tests/"$sub"/*.cpp tests/"$sub"/*.h; do
        [ -e "$f" ] && check "$f" "${rank[${testLayer[$sub]}]}"
    done
done
# The builders every test program links sit on the bottom layer.
for f in tests/support/*.cpp tests/support/*.h; do
    case "$f" in */recordingdrawer.h) check "$f" "${rank[model]}" ;; *) check "$f" 0 ;; esac
done
[ "$status" -eq 0 ] && echo "check-layers: every include stays in its layer or goes down"
exit "$status"
