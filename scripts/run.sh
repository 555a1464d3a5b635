#!/usr/bin/env bash
# The main job: installs what is missing, builds kelvabot, and runs the demo
# world script on a scratch copy of the demo data, printing its transcript.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVA_BUILD_QT=ON >/dev/null
cmake --build build --target kelvabot

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp demo/stats.txt demo/armor~weapon.txt demo/objects.txt demo/recv.wav "$scratch/"

echo "== kelvabot --script demo/demo.script (data in a scratch copy of demo/) =="
build/kelvabot --script demo/demo.script --data-dir "$scratch" --seed 1
