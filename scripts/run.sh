#!/usr/bin/env bash
# The main job: installs what is missing, builds kelvabot, and starts a game
# to play at once: kelvabot hosts the demo world on this machine (loopback
# only) and plays in it headless. It prints how players connect (nc
# 127.0.0.1 PORT, from other terminals).
#
# The game is kept in a data folder that lasts from run to run: data/ in the
# checkout (ignored by git), or the folder named by KELVA_DATA_DIR. The first
# run fills it from demo/; later runs find every character as it was left.
#
#   scripts/run.sh [--no-build] [kelvabot options...]
#
# --no-build skips the packages and the build (the tests use it, with
# KELVABOT naming the program they built); other options go to kelvabot
# (--player-port N, --seed N, ...).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=1
if [[ ${1:-} == --no-build ]]; then
  build=0
  shift
fi
if [[ $build == 1 ]]; then
  scripts/deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVA_BUILD_QT=ON >/dev/null
  cmake --build build --target kelvabot
fi

data=${KELVA_DATA_DIR:-$PWD/data}
if [[ ! -e $data/stats.txt && ! -e $data/objects.txt && ! -e $data/armor~weapon.txt ]]; then
  mkdir -p "$data"
  cp demo/stats.txt demo/armor~weapon.txt demo/objects.txt demo/recv.wav "$data/"
  echo "== a new game: the data folder $data is filled from demo/ =="
fi
data=$(cd "$data" && pwd)

echo "== kelvabot hosts the demo world; the game is kept in $data =="
echo "Players connect from other terminals with the nc line printed below;"
echo "Kaya (password kaya) is an administrator. Type close here, or press"
echo "Ctrl-C, to make the bot say its countdown and stop."
# The bot's seven start-up answers (the demo world's bot account), then Kaya
# in the first administrator box; the operator's own lines then come from
# this terminal, read by kelvabot itself.
answers=$(mktemp)
trap 'rm -f "$answers"' EXIT
printf '%s\n' 1234 secret DemoWorld Kelvabot 0 0 0 "admin 0 Kaya" >"$answers"
status=0
"${KELVABOT:-build/kelvabot}" --headless --answers "$answers" --data-dir "$data" "$@" || status=$?
exit "$status"
