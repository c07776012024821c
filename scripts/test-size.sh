#!/usr/bin/env bash
# Prints the size of the test suite against the product code, in non-blank lines: every tracked
# file under tests/ (unit tests, builders, fuzz targets, end-to-end scripts) against the .cpp and
# .h files outside tests/ and bench/. Fails when the ratio is above the limit (default 0.40).
#   scripts/test-size.sh [limit]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-0.40}
count() { xargs -r grep -hcv '^[[:space:]]*$' | awk '{ n += $1 } END { print n + 0 }'; }
tests=$(git ls-files tests | count)
code=$(git ls-files '*.cpp' '*.h' | grep -v -e '^tests/' -e '^bench/' | count)
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.2f", t / c }')
echo "test-size: $tests lines of tests, $code lines of code: $ratio"
awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }' || { echo "test-size: above $limit" >&2; exit 1; }
