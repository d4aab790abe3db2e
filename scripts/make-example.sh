#!/usr/bin/env bash
# Makes the bundled example project again from its trace log with the batch converter.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release >/dev/null
dir=examples/pvsneslib-hello_world
rm -f "$dir"/hello_world.{tfp,tfd,tfm,tlm,tcc}
build/app/orvanel-convert "$dir/hello_world.log" "$dir/hello_world.tfp"
# The project names its files relative to its own folder, so it opens wherever the
# repository lies.
sed -i "s#<\([a-z]*\)>$PWD/$dir/#<\1>#" "$dir/hello_world.tfp"
echo "Wrote $dir/hello_world.tfp and its files"
