#!/usr/bin/env bash
# Builds kelvabot and passes every test: first a normal build, then the whole
# suite again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVA_BUILD_QT=ON
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVA_BUILD_QT=ON -DKELVA_SANITIZE=ON
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

# Every fuzz target, fuzzed for a bounded time with clang's libFuzzer and the
# sanitizers (the seed corpora already ran above as ordinary tests).
scripts/fuzz.sh
