#!/usr/bin/env bash
# The main job: installs what is missing, builds kelvabot, and starts a game
# to play at once: kelvabot hosts the demo world on this machine (loopback
# only) and plays in it headless, on a scratch copy of the demo data. It
# prints how players connect (nc 127.0.0.1 PORT, from other terminals).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVA_BUILD_QT=ON >/dev/null
cmake --build build --target kelvabot

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp demo/stats.txt demo/armor~weapon.txt demo/objects.txt demo/recv.wav "$scratch/"

echo "== kelvabot hosts the demo world (data in a scratch copy of demo/) =="
echo "Players connect from other terminals with the nc line printed below;"
echo "Kaya (password kaya) is an administrator. Type close here, or press"
echo "Ctrl-C, to make the bot say its countdown and stop."
# The bot's seven start-up answers (the demo world's bot account), Kaya in
# the first administrator box, then whatever the operator types.
{ printf '%s\n' 1234 secret DemoWorld Kelvabot 0 0 0 "admin 0 Kaya"; cat; } |
  build/kelvabot --headless --data-dir "$scratch"
