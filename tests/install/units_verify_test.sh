#!/usr/bin/env bash
# systemd's own check of the service units as installed (into a temporary
# prefix, so that the programs they start exist): exit 77 (skipped) where
# the machine has no systemd-analyze.
#
#   units_verify_test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1 build=$2
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed: skipped"
  exit 77
fi
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
units=("$prefix"/lib/systemd/system/kelva-world.service "$prefix"/lib/systemd/system/kelvabot.service)
# verify prints its findings on stderr and may still exit 0 for some of
# them: any line at all about our units fails the test.
output=$(systemd-analyze verify --man=no "${units[@]}" 2>&1) || { echo "$output"; exit 1; }
if grep -E 'kelva-world\.service|kelvabot\.service' <<<"$output"; then
  exit 1
fi
echo "systemd-analyze verify: both units pass"
