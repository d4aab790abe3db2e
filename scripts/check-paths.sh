#!/usr/bin/env bash
# Fails when a source, CMake or script file of the repository names a path that leaves it: a
# path that starts with "../" (or goes up out of the source tree from CMake's source folder),
# or an absolute path to a data folder. Everything the build and the tests read lies inside.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -- '*.cpp' '*.h' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' '*.sh' \
  '.ci/*' | grep -v '^scripts/check-paths.sh$' || true)
[ -n "$files" ] || exit 0
# "../" at the start of a quoted path, after a variable such as ${CMAKE_SOURCE_DIR}/, or after
# "/" of the source file's own folder; and absolute paths into home, work or data folders.
pattern='(["'"'"' =(]|"/|_DIR\}?/|SOURCE_DIR\}/)\.\./|"/(work|home|data|mnt|srv|shared|media)/'
hits=$(echo "$files" | xargs grep -nE "$pattern" 2>/dev/null |
  grep -vE '^[^:]+:[0-9]+:\s*(//|#)' || true)
if [ -n "$hits" ]; then
  echo "These name a path outside the repository; copy what they need into it:" >&2
  echo "$hits" >&2
  exit 1
fi
echo "paths: every file read lies inside the repository"
