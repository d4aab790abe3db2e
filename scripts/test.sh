#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

echo "== the repository stands on its own"
bash scripts/check-paths.sh

echo "== normal build"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$(nproc)"

echo "== sanitizer build (address, undefined)"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANEL_SANITIZE=ON \
  -DORVANEL_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz targets (short runs)"
  bash scripts/fuzz.sh
fi
