#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for the given seconds,
# two at a time, starting from generated seeds and the corpus of earlier runs.
#   scripts/fuzz.sh [seconds] [target...]     default: 30 seconds, every target
# Findings land in build-fuzz/findings/<target>/; the script fails when there is one. Every
# target runs under a memory limit (resident size, and any single allocation), so an input that
# makes a few bytes cost hundreds of megabytes counts as a finding too.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
rss_limit_mb=${FUZZ_RSS_LIMIT_MB:-1024}
malloc_limit_mb=${FUZZ_MALLOC_LIMIT_MB:-512}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(config zip pak image_tga image_jpg image_bmp image_pcx image_wal image_any shader md3 anim
        skin console pipeline)
fi

scripts/install-deps.sh --fuzz
export KEL_OA_BASE="${KEL_OA_BASE:-$(scripts/fetch-data.sh)}"
build="$PWD/build-fuzz" # absolute: the targets change their working folder
CC=clang CXX=clang++ cmake -S . -B "$build" -DFUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_seeds "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/tests/fuzz/fuzz_seeds" "$build/fuzz-seeds" >/dev/null

run() {
    local t=$1
    mkdir -p "$build/corpus/$t" "$build/findings/$t"
    "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb="$rss_limit_mb" \
        -malloc_limit_mb="$malloc_limit_mb" \
        -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
        "$build/corpus/$t" "$build/fuzz-seeds/$t" >"$build/findings/$t.log" 2>&1
}

failed=()
pids=()
names=()
for t in "${targets[@]}"; do
    run "$t" &
    pids+=($!)
    names+=("$t")
    # Two at a time: wait for the older one before starting a third.
    if [ ${#pids[@]} -ge 2 ]; then
        wait "${pids[0]}" || failed+=("${names[0]}")
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
done
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || failed+=("${names[$i]}")
done

printf '%-10s %12s %8s %8s %8s\n' target runs exec/s cov ft
for t in "${targets[@]}"; do
    log="$build/findings/$t.log"
    runs=$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    speed=$(grep -o 'average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
    printf '%-10s %12s %8s %8s %8s\n' "$t" "$runs" "$speed" "$cov" "$ft"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in ${failed[*]} (see $build/findings/)" >&2
    exit 1
fi
