#!/usr/bin/env bash
# Installs what is missing, builds Orvanel and starts it on the bundled example project.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
example=examples/pvsneslib-hello_world/hello_world.tfp
if [ -f "$example" ]; then
  exec build/app/orvanel "$example"
else
  exec build/app/orvanel
fi
