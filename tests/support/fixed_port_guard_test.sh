#!/usr/bin/env bash
# The fixed-port guard itself: under it, binding a hosted game's port aborts
# the process (or, with KELVA_PORT_GUARD=taken, is refused as in use), and
# port 0 binds as ever.
#
# Usage: fixed_port_guard_test.sh GUARD_LIBRARY
set -uo pipefail
guard=$1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
bind_port() {
  LD_PRELOAD=$guard /usr/bin/python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET6 if ":" in sys.argv[1] else socket.AF_INET)
try:
    s.bind((sys.argv[1], int(sys.argv[2])))
except OSError as e:
    print("refused", e.errno)
    sys.exit(3)
print("bound", s.getsockname()[1])
' "$@"
}

for address in 127.0.0.1 0.0.0.0 ::1; do
  for port in 7777 7778 7780 7781; do
    out=$(bind_port "$address" "$port" 2>&1)
    status=$?
    [[ $status == 134 ]] || fail "$address:$port: status $status, not an abort"
    grep -q "fixed-port guard: process [0-9]* binds port $port" <<<"$out" || fail "$address:$port: the abort is not explained: $out"
  done
done
out=$(KELVA_PORT_GUARD=taken bind_port 127.0.0.1 7780 2>&1)
[[ $? == 3 && $out == "refused 98" ]] || fail "KELVA_PORT_GUARD=taken: 7780 was not refused as in use: $out"
for port in 0; do
  out=$(bind_port 127.0.0.1 "$port" 2>&1)
  [[ $? == 0 && $out == bound* ]] || fail "port $port: $out"
done

if ((failures > 0)); then
  exit 1
fi
echo "PASS: the hosted game's ports abort a test that binds them; other ports bind"
