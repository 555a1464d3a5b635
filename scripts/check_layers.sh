#!/usr/bin/env bash
# Checks that the folders of src/ point one way: every `#include "FOLDER/..."`
# names a layer at or below the including file's own. The order of the layers
# is read from the KELVA_LAYERS list of the top CMakeLists.txt, bottom first;
# a folder nested in another (console/qt) is a layer of its own when listed.
#
#   scripts/check_layers.sh [ROOT]     ROOT holds CMakeLists.txt and src/ (default: this checkout)
#
# Prints every include that points up, and every source file outside the
# listed layers; exits 1 if there is one, 0 when the layering holds.
set -euo pipefail

root=${1:-"$(dirname "${BASH_SOURCE[0]}")/.."}
cmake_file="$root/CMakeLists.txt"
[[ -f $cmake_file && -d $root/src ]] || { echo "check_layers: no CMakeLists.txt and src/ in $root" >&2; exit 2; }

# The words between "set(KELVA_LAYERS" and the closing parenthesis, comments dropped.
mapfile -t layers < <(awk '
  /^[[:space:]]*set\(KELVA_LAYERS/ { on = 1; sub(/.*set\(KELVA_LAYERS/, "") }
  on { sub(/#.*/, ""); done = sub(/\).*/, ""); n = split($0, w, /[[:space:]]+/)
       for (i = 1; i <= n; i++) if (w[i] != "") print w[i]
       if (done) exit }' "$cmake_file")
((${#layers[@]} > 0)) || { echo "check_layers: no KELVA_LAYERS list in $cmake_file" >&2; exit 2; }

cd "$root/src"
find . -type f \( -name '*.h' -o -name '*.cpp' \) -printf '%P\n' | sort |
  awk -v order="${layers[*]}" '
    BEGIN { n = split(order, layer, " "); for (i = 1; i <= n; i++) rank[layer[i]] = i }
    # The layer of a path: the longest listed folder that contains it.
    function layerOf(path,   best, i) {
      best = ""
      for (i = 1; i <= n; i++)
        if (index(path, layer[i] "/") == 1 && length(layer[i]) > length(best)) best = layer[i]
      return best
    }
    {
      file = $0; own = layerOf(file)
      if (own == "") { printf "src/%s: in no layer (list its folder in KELVA_LAYERS)\n", file; bad = 1; next }
      lineNo = 0
      while ((getline line < file) > 0) {
        ++lineNo
        if (line !~ /^[[:space:]]*#[[:space:]]*include[[:space:]]*"/) continue
        target = line; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
        to = layerOf(target)
        # Includes outside src/ (generated headers) name no layer.
        if (to == "" || rank[to] <= rank[own]) continue
        printf "src/%s:%d: includes \"%s\": layer %s is above %s\n", file, lineNo, target, to, own
        bad = 1
      }
      close(file)
    }
    END { exit bad }'
