#!/usr/bin/env bash
# The main job keeps the game: scripts/run.sh (without its build step) runs
# twice on one data folder. In the first run a guest arrives and the operator
# gives Kaya gold; the second run must find both characters as they were
# left, and the activity log must record both. `close` and Ctrl-C must each
# end run.sh with status 0 within the three-second countdown plus a second.
# A second bot on the folder while one runs must refuse to start.
#
# Usage: main_job_test.sh CHECKOUT KELVABOT
set -uo pipefail
set -m  # each run in its own process group, as a terminal's foreground job is
checkout=$(cd "$1" && pwd)
export KELVABOT=$2
work=$(mktemp -d)
export KELVA_DATA_DIR=$work/data
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Starts run.sh with its input from a FIFO held open on descriptor 7.
start_run() {
  rm -f "$work/in" "$work/out"
  mkfifo "$work/in"
  "$checkout/scripts/run.sh" --no-build --player-port 0 --web-port 0 --console-port 0 --seed 1 <"$work/in" >"$work/out" 2>"$work/err" &
  run_pid=$!
  exec 7>"$work/in"
}
# Waits up to 20 s for a line of the run's output matching the pattern.
await() {
  local i
  for ((i = 0; i < 200; i++)); do
    grep -q -- "$1" "$work/out" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "never printed: $1"
  cat "$work/out" "$work/err" | tail -20
  return 1
}
# Waits for the run to end; sets `status` and `ms`, how long it took from `since`.
finish() {
  local since=$1
  wait "$run_pid"
  status=$?
  ms=$(( ($(date +%s%N) - since) / 1000000 ))
  exec 7>&-
}
check_prompt_end() {
  local what=$1 status=$2 ms=$3
  [[ $status == 0 ]] || fail "$what: run.sh ended with status $status"
  ((ms <= 4000)) || fail "$what: run.sh took $ms ms after the countdown began (3 s countdown + 1 s)"
  # Three, Two and One a second apart: a countdown that races through is wrong too.
  ((ms >= 1900)) || fail "$what: run.sh ended $ms ms after the countdown began, before Two and One had their second"
}

# First run: a new game from demo/.
start_run
await "say Complete" || exit 1
grep -q "the game is kept in $KELVA_DATA_DIR" "$work/out" || fail "the data folder's path is not printed"
port=$(sed -n 's/^ *nc 127.0.0.1 \([0-9]*\)$/\1/p' "$work/out" | head -1)
exec 5<>"/dev/tcp/127.0.0.1/$port"
echo mira >&5
for ((i = 0; i < 100; i++)); do grep -q '^"mira",' "$KELVA_DATA_DIR/stats.txt" && break; sleep 0.1; done
grep -q '^"mira",' "$KELVA_DATA_DIR/stats.txt" || fail "the guest's character was not saved"
printf 'select Kaya\ntext3 777\nchange\n' >&7
await "say A special gift of 0exp and 657gp was given to Kaya." || exit 1

# The operator's activity log in the data folder, one timestamped line per event.
stamp='^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} '
for event in 'Kelvabot logged in to DemoWorld$' '"mira" arrived and got a new character$' \
  'console: A special gift of 0exp and 657gp was given to Kaya\.$'; do
  grep -Eq "$stamp$event" "$KELVA_DATA_DIR/activity.log" || fail "activity.log lacks: $event"
done

# A second bot on the same folder refuses to start and changes nothing.
before=$(cat "$KELVA_DATA_DIR/stats.txt")
"$KELVABOT" --headless --simulated --data-dir "$KELVA_DATA_DIR" </dev/null >/dev/null 2>"$work/second"
status=$?
[[ $status == 4 ]] || fail "a second bot on the folder ended with status $status, not 4"
grep -q "another kelvabot is running on the data folder" "$work/second" || fail "the second bot did not say why"
[[ $(cat "$KELVA_DATA_DIR/stats.txt") == "$before" ]] || fail "the second bot changed stats.txt"

sent=$(date +%s%N)
echo close >&7
finish "$sent"
check_prompt_end "close" "$status" "$ms"
close_ms=$ms
grep -Eq "${stamp}the bot left the world$" "$KELVA_DATA_DIR/activity.log" || fail "activity.log lacks the bot's leaving"
exec 5>&-

# Second run: the same folder, not filled again; both characters as left.
start_run
await "say Complete" || exit 1
grep -q "filled from demo" "$work/out" && fail "the second run filled the data folder again"
printf 'select Kaya\nselect "mira"\n' >&7
await "^text3 777$" || fail "Kaya's gold was not kept"
await '^text2 0$' && await '^text3 5$' || fail "the guest's character was not kept"
# Ctrl-C: SIGINT to the whole foreground group, run.sh and kelvabot alike.
sent=$(date +%s%N)
kill -INT -- "-$run_pid"
finish "$sent"
check_prompt_end "Ctrl-C" "$status" "$ms"
interrupt_ms=$ms
grep -q "say One..." "$work/out" || fail "Ctrl-C did not run the countdown"

rm -rf "$work"
if ((failures > 0)); then
  exit 1
fi
echo "PASS: progress kept across two runs; close returned 0 after $close_ms ms, Ctrl-C after $interrupt_ms ms;" \
  "a second bot is refused"
