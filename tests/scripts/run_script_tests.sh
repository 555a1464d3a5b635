#!/usr/bin/env bash
# Runs world-script end-to-end tests: the built kelvabot against a script,
# its transcript and data files compared byte for byte with what is expected.
#
# Usage: run_script_tests.sh KELVABOT [FOLDER...]
#   Without folders, every folder below tests/scripts/ that holds a
#   script.txt is run. Exit status 0 when every folder passes.
#
# One folder is one test:
#   script.txt        the world script (required)
#   expected.txt      the exact standard output (required; an empty file
#                     when nothing is printed)
#   data/             optional: the data folder before the run (stats.txt,
#                     armor~weapon.txt, objects.txt, ...); copied to a fresh
#                     temporary folder, which is the run's --data-dir
#   expected-files/   optional: for each file in it, the exact bytes that the
#                     file of the same name in the data folder must hold after
#                     the run (line ends included). A file named NAME.absent
#                     instead requires that NAME does not exist after the run.
#   expected-status   optional: the exit status (default 0)
#   seed              optional: the --seed value (default 1)
#
# Everything in these folders is compared byte for byte: .gitattributes keeps
# git from touching their line ends. The run's standard error is shown when a
# test fails, never compared.
set -uo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 KELVABOT [FOLDER...]" >&2
  exit 2
fi
kelvabot=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [[ $# -eq 0 ]]; then
  set --
  for script in "$here"/*/script.txt; do
    [[ -e $script ]] && set -- "$@" "$(dirname "$script")"
  done
fi

run_one() {
  local folder=$1 name tmp data status expected_status seed ok=1
  name=$(basename "$folder")
  tmp=$(mktemp -d)
  data=$tmp/data
  mkdir "$data"
  if [[ -d $folder/data ]]; then
    cp -a "$folder/data/." "$data/"
  fi
  seed=1
  [[ -f $folder/seed ]] && seed=$(tr -d ' \r\n' <"$folder/seed")
  expected_status=0
  [[ -f $folder/expected-status ]] && expected_status=$(tr -d ' \r\n' <"$folder/expected-status")

  "$kelvabot" --script "$folder/script.txt" --data-dir "$data" --seed "$seed" \
    >"$tmp/stdout" 2>"$tmp/stderr" </dev/null
  status=$?

  if [[ $status != "$expected_status" ]]; then
    echo "$name: exit status $status, expected $expected_status"
    ok=0
  fi
  if ! cmp -s "$tmp/stdout" "$folder/expected.txt"; then
    echo "$name: the transcript differs (- expected, + actual):"
    diff -u "$folder/expected.txt" "$tmp/stdout" | sed -n '3,60p'
    ok=0
  fi
  if [[ -d $folder/expected-files ]]; then
    local expected file
    for expected in "$folder"/expected-files/*; do
      [[ -e $expected ]] || continue
      file=$(basename "$expected")
      if [[ $file == *.absent ]]; then
        if [[ -e $data/${file%.absent} ]]; then
          echo "$name: ${file%.absent} exists but should not"
          ok=0
        fi
      elif [[ ! -f $data/$file ]]; then
        echo "$name: $file was not written"
        ok=0
      elif ! cmp -s "$data/$file" "$expected"; then
        echo "$name: $file differs (expected, then actual, as bytes):"
        od -c "$expected" | head -20
        echo "---"
        od -c "$data/$file" | head -20
        ok=0
      fi
    done
  fi
  if [[ $ok == 0 && -s $tmp/stderr ]]; then
    echo "$name: standard error was:"
    head -20 "$tmp/stderr"
  fi
  rm -rf "$tmp"
  [[ $ok == 1 ]]
}

failed=0
for folder in "$@"; do
  folder=${folder%/}
  if run_one "$folder"; then
    echo "PASS $(basename "$folder")"
  else
    echo "FAIL $(basename "$folder")"
    failed=1
  fi
done
exit $failed
