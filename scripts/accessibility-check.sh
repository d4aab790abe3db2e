#!/usr/bin/env bash
# Starts Orvanel on the example project under Xvfb with the accessibility bus and reads its
# accessibility tree over AT-SPI: accessibility-check.sh [BUILD_DIR].
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target orvanel >/dev/null
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
exec xvfb-run -a dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  sleep 1
  QT_QPA_PLATFORM=xcb "$0/app/orvanel" ${ORVANEL_A11Y_PROJECT-"$1/examples/pvsneslib-hello_world/hello_world.tfp"} &
  app=$!
  sleep 3
  status=0
  /usr/bin/python3 "$1/scripts/accessibility-check.py" || status=$?
  kill $app 2>/dev/null || true
  exit $status
' "$build" "$root"
