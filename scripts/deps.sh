#!/usr/bin/env bash
# Installs the Debian packages that building and testing kelvabot need, but
# only those that are missing: apt-get update runs once, and only then.
# Meant to be sourced or run by the other scripts, as root on Debian 12.
set -euo pipefail

kelva_packages=(
  g++
  cmake
  ninja-build
  libgtest-dev
  libbenchmark-dev
  qt6-base-dev
  qt6-multimedia-dev
  libxcb1-dev
  libspdlog-dev
  fonts-dejavu-core
  nlohmann-json3-dev
  libboost1.81-dev
  netcat-openbsd
  clang
  libclang-rt-14-dev
  # The browser client: three.js served by the world, and the browser test.
  libjs-three
  chromium
  chromium-driver
  python3-selenium
  # Accounts, TLS and the operator's console: the world's store, password
  # hashes, HTTPS, the console's charts and the metrics' parser in the tests.
  libssl-dev
  libsqlite3-dev
  libsqlitecpp-dev
  libsodium-dev
  libjs-chart.js
  python3-prometheus-client
  # Rebuilds of unchanged sources come from the compiler cache when present.
  ccache
)

kelva_install_missing() {
  local missing=() p
  for p in "${kelva_packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    return 0
  fi
  echo "Installing: ${missing[*]}" >&2
  local sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

kelva_install_missing
