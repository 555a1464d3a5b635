#!/usr/bin/env bash
# Start-up failures the operator must understand at once:
# - a refused login ends with status 1, says on the terminal and in the
#   message box what the code means, and never talks of logging in again;
# - a DISPLAY that cannot be opened makes the bot run headless, with a
#   one-line notice, instead of aborting inside the window toolkit.
#
# Usage: startup_failures_test.sh KELVABOT
set -uo pipefail
kelvabot=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The refusal races the closing of the bot's connection: try it a few times.
# The hosted world takes any free ports, since a game hosted on this machine
# may hold the usual ones. The last runs, under the suite's fixed-port guard,
# find the usual ports taken, so the hosted world opens on other ports after
# a first try that opened some of its own.
for run in 1 2 3 4 5; do
  ports=(--player-port 0 --web-port 0)
  guard=
  if [[ $run -ge 4 && ${LD_PRELOAD:-} == *fixed_port_guard* ]]; then
    ports=()
    guard=taken
  fi
  mkdir -p "$work/refused$run"
  printf '%s\n' 1 wrong DemoWorld Bot 0 0 0 |
    KELVA_PORT_GUARD=$guard timeout 30 "$kelvabot" --headless "${ports[@]}" --data-dir "$work/refused$run" \
      >"$work/out" 2>"$work/err"
  status=$?
  [[ $status == 1 ]] || fail "refused login, run $run: status $status, not 1"
  words="the world knows no bot account with this citizen number and password"
  grep -qx "messagebox 1: $words" "$work/out" || fail "refused login, run $run: the message box does not say why"
  grep -q "the login was refused with code 1: $words" "$work/err" || fail "refused login, run $run: stderr does not say why"
  if grep -q "logging in again\|still not back" "$work/err"; then
    fail "refused login, run $run: it speaks of logging in again"
    cat "$work/err"
  fi
done

# No X server answers on display 97 here.
mkdir -p "$work/nodisplay"
printf '%s\n' 1 pw Demo Bot 0 0 0 close |
  DISPLAY=:97 WAYLAND_DISPLAY= timeout 30 "$kelvabot" --simulated --console-port 0 --data-dir "$work/nodisplay" >"$work/out" 2>"$work/err"
status=$?
[[ $status == 0 ]] || fail "unopenable display: status $status, not 0"
notices=$(grep -c "cannot be opened; running headless" "$work/err")
[[ $notices == 1 ]] || fail "unopenable display: $notices notices, not one"
grep -q "^say One...$" "$work/out" || fail "unopenable display: the bot did not run headless to its countdown"

if ((failures > 0)); then
  exit 1
fi
echo "PASS: a refused login is explained without retries; an unopenable display falls back to headless"
