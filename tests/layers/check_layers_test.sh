#!/usr/bin/env bash
# The layer check on small trees of its own: it passes a tree whose includes
# point down, and fails, naming the file and line, on an include that points
# up (also into a nested layer listed above its parent) and on a file outside
# every layer.
#   check_layers_test.sh PATH_TO_check_layers.sh
set -uo pipefail
check=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# A tree with layers low < mid < high < mid/top, headers including downwards.
make_tree() {
  rm -rf "$tmp/tree" && mkdir -p "$tmp/tree/src/low" "$tmp/tree/src/mid/top" "$tmp/tree/src/high"
  cat >"$tmp/tree/CMakeLists.txt" <<'CMAKE'
project(x)
set(KELVA_LAYERS
  low     # the bottom
  mid high
  mid/top # nested, above its parent
)
CMAKE
  printf '#pragma once\n#include <string>\n' >"$tmp/tree/src/low/a.h"
  printf '#include "mid/b.h"\n\n#include "low/a.h"\n' >"$tmp/tree/src/mid/b.cpp"
  printf '#pragma once\n#include "low/a.h"\n' >"$tmp/tree/src/mid/b.h"
  printf '#include "high/c.h"\n#include "mid/b.h"\n#include "generated.h"\n' >"$tmp/tree/src/mid/top/d.cpp"
  printf '#pragma once\n#include "mid/b.h"\n' >"$tmp/tree/src/high/c.h"
}

# expect NAME STATUS TEXT: the check exits with STATUS and, when TEXT is not
# empty, prints exactly TEXT.
expect() {
  local name=$1 status=$2 text=$3 out rc
  out=$(bash "$check" "$tmp/tree" 2>&1); rc=$?
  if [[ $rc != "$status" || ( -n $text && $out != "$text" ) ]]; then
    echo "FAIL $name: status $rc, output:"; echo "$out"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

make_tree
expect "includes that point down pass" 0 ""

make_tree
printf '#pragma once\n#include <string>\n  #  include "high/c.h"\n' >"$tmp/tree/src/low/a.h"
expect "an include of a higher layer fails" 1 'src/low/a.h:3: includes "high/c.h": layer high is above low'

make_tree
printf '#include "mid/top/d.h"\n' >"$tmp/tree/src/high/e.cpp"
expect "a nested layer counts as its own" 1 'src/high/e.cpp:1: includes "mid/top/d.h": layer mid/top is above high'

make_tree
mkdir "$tmp/tree/src/stray" && printf '\n' >"$tmp/tree/src/stray/f.cpp"
expect "a file outside every layer fails" 1 'src/stray/f.cpp: in no layer (list its folder in KELVA_LAYERS)'

exit $((failures > 0))
