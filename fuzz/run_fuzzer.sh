#!/usr/bin/env bash
# Fuzzes one target for a bounded time: run_fuzzer.sh BINARY SEED_CORPUS SECONDS.
# New inputs go to a scratch folder, so the seed corpus in the source tree is
# only read. libFuzzer exits non-zero on a crash, a leak, a timeout or a
# sanitizer report, and so does this script.
set -euo pipefail
binary=$(realpath "$1")
seeds=$(realpath "$2")
seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/new"
cd "$scratch"  # crash files land here and are printed below
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  "$scratch/new" "$seeds" || status=$?
if [[ $status -ne 0 ]]; then
  for f in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*; do
    [[ -e $f ]] && { echo "input that failed ($f), base64:"; base64 "$f"; }
  done
fi
exit $status
