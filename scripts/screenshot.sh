#!/usr/bin/env bash
# Saves a picture of the main window with the bundled example project open and a line
# selected: screenshot.sh [BUILD_DIR] [OUT.png] (defaults: build, docs/screenshot.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs/screenshot.png}
cmake --build "$build" --target orvanel >/dev/null
QT_QPA_PLATFORM=offscreen "$build/app/orvanel" \
  "$root/examples/pvsneslib-hello_world/hello_world.tfp" --screenshot "$out"
echo "screenshot: $out"
