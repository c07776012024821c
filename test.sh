#!/usr/bin/env bash
# Installs what is missing, builds in its own folder and runs every test on a virtual display.
#   ./test.sh             the normal build (build-test/)
#   ./test.sh --sanitize  the same suite built with AddressSanitizer and UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"
sanitize=OFF
build=build-test
for arg in "$@"; do
    case "$arg" in
    --sanitize) sanitize=ON; build=build-asan ;;
    *) echo "usage: ./test.sh [--sanitize]" >&2; exit 2 ;;
    esac
done

scripts/install-deps.sh
scripts/check-layers.sh
export KEL_OA_BASE="$(scripts/fetch-data.sh)"

# The normal build defines NDEBUG (release flags); the sanitized one keeps every assert on, so
# the suite runs both ways.
flags=()
[ "$sanitize" = ON ] && flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g")
cmake -S . -B "$build" -DSANITIZE=$sanitize -DWERROR=ON "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

export LP_NUM_THREADS=1
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" \
    ctest --test-dir "$build" --output-on-failure -j2
