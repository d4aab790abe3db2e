#!/usr/bin/env bash
# Installs the Debian packages Orvanel needs, only those that are missing (fast when all are
# there). Run as root on Debian 12.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config   # build tools
  qt6-base-dev libgl-dev             # the desktop program (Qt 6 Widgets)
  libxml2-dev                        # every project file is XML
  libgtest-dev libgmock-dev          # unit tests
  libbenchmark-dev                   # benchmark programs
  clang libclang-rt-14-dev           # fuzz targets (libFuzzer)
)
# Wanted but not needed: the build works without them.
optional=(
  qt6-base-private-dev               # the code tree view trims QTreeView's own row list
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

optional_missing=()
for p in "${optional[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    optional_missing+=("$p")
  fi
done
if [ ${#optional_missing[@]} -gt 0 ]; then
  echo "Installing (optional): ${optional_missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y -qq --no-install-recommends "${optional_missing[@]}"; then
    apt-get update -qq || true
    apt-get install -y -qq --no-install-recommends "${optional_missing[@]}" ||
      echo "Optional packages not installed (${optional_missing[*]}): the build goes on without them."
  fi
fi
