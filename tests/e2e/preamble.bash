# Sourced first by each end-to-end script, which takes <viewer binary> <source folder>: runs the
# script again on a virtual display of its own, so that no other window takes the pointer, then
# sets viewer and src to the full paths of its two arguments.
if [ -z "${KEL_E2E_DISPLAY:-}" ]; then
    export KEL_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
viewer=$(realpath "$1")
src=$(realpath "$2")
