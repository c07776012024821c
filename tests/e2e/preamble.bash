# Sourced first by each end-to-end script, which takes <viewer binary> <source folder>: runs the
# script again on a virtual display of its own, so that no other window takes the pointer, then
# sets viewer and src to the full paths of its two arguments.
if [ -z "${KEL_E2E_DISPLAY:-}" ]; then
    export KEL_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
viewer=$(realpath "$1")
src=$(realpath "$2")

# run_folder <folder> <game root> [key value]...: makes the folder and copies the shipped
# settings files into it, its app.cfg pointed at the game <game root>/baseq3 with mountall 0,
# then each further key set to its value.
run_folder() {
    local run=$1 game=$2
    shift 2
    mkdir -p "$run" && cp "$src"/base/{app.cfg,convars.cfg,font_arial.tga,console.tga} "$run/" || return 1
    local edits=(-e "s#^\(q3apath[[:space:]]*=\).*#\1 $game#" -e "s#^\(q3game[[:space:]]*=\).*#\1 baseq3#"
        -e "s#^\(mountall[[:space:]]*=\).*#\1 0#")
    for ((; $# >= 2; )); do
        edits+=(-e "s#^\($1[[:space:]]*=\).*#\1 $2#")
        shift 2
    done
    sed -i "${edits[@]}" "$run/app.cfg"
}
