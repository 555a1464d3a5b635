#!/usr/bin/env bash
# Builds the benchmarks (bench/, Google Benchmark) and runs them; never part
# of the test run. The files they write go to a scratch folder inside
# build-bench/, on the same disk as the checkout. Extra arguments go to the
# benchmark binary (e.g. --benchmark_filter=Savestats).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVA_BUILD_QT=OFF \
  -DKELVA_BUILD_TESTS=OFF -DKELVA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build-bench --target kelva_bench kelvabot

echo "== $(nproc) x $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(df -T build-bench | awk 'NR==2 {print $2}') =="
cd build-bench
exec ./bench/kelva_bench --benchmark_counters_tabular=true "$@"
