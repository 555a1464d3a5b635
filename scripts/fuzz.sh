#!/usr/bin/env bash
# Fuzzes every target in fuzz/ for a bounded time (KELVA_FUZZ_SECONDS each,
# 20 by default): built with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/. A crash, a leak, a sanitizer
# report or a failed check fails the run and prints the input (base64).
# scripts/test.sh runs it; it can also run alone.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
seconds=${KELVA_FUZZ_SECONDS:-20}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVA_BUILD_QT=OFF -DKELVA_BUILD_TESTS=OFF -DKELVA_FUZZ=ON -DKELVA_SANITIZE=ON \
  -DKELVA_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-fuzz --target kelva_fuzz_all
ctest --test-dir build-fuzz -L fuzz-run --output-on-failure -j "$jobs"
