#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each one for a short, bounded time on a copy of its seed corpus. Fails on any
# finding: a crash, a sanitizer report, a leak, an uncaught exception, a time-out or running
# out of memory. The input that caused it is kept in the findings folder.
#
#   FUZZ_SECONDS   seconds per target (default 20)
#   FUZZ_TARGETS   the targets to run, space separated (default: all)
#   FUZZ_FINDINGS  where crashing inputs are kept (default: build-fuzz/findings)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-20}"
build=build-fuzz
findings="${FUZZ_FINDINGS:-$PWD/$build/findings}"

# libFuzzer comes with clang's runtime (libclang-rt-NN-dev on Debian): check it links.
# The scratch files go to memory where there is a tmpfs: the model syncs every file it
# writes, which on a disk slows the fuzzers down many times.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then probe="$(mktemp -d -p /dev/shm)"; else probe="$(mktemp -d)"; fi
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$probe/probe.cpp"
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/err"; then
  echo "fuzz.sh: $(clang++ --version | head -n 1) cannot link libFuzzer; the runtime package" \
    "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev is needed:" >&2
  cat "$probe/err" >&2
  exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANEL_BUILD_FUZZ=ON -DORVANEL_BUILD_UI=OFF -DORVANEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target orvanel_fuzzers

targets="${FUZZ_TARGETS:-}"
if [ -z "$targets" ]; then
  for exe in "$build"/tests/fuzz/fuzz_*; do targets+=" $(basename "$exe" | sed 's/^fuzz_//')"; done
fi

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
failed=()
passed=0
for target in $targets; do
  work="$probe/$target"
  mkdir -p "$work/corpus" "$work/tmp" "$findings/$target"
  if [ -d "tests/fuzz/corpus/$target" ]; then cp -r "tests/fuzz/corpus/$target/." "$work/corpus/"; fi
  echo "== fuzz_$target for ${seconds}s"
  if TMPDIR="$work/tmp" "$build/tests/fuzz/fuzz_$target" "$work/corpus" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$findings/$target/" >"$work/log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log" || true
    passed=$((passed + 1))
  else
    failed+=("$target")
    tail -n 60 "$work/log"
    echo "fuzz_$target: FINDING; the input is in $findings/$target/" >&2
    echo "  reproduce: $build/tests/fuzz/fuzz_$target <that file>" >&2
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}" >&2
  echo "fuzz: $passed passed, ${#failed[@]} failed"
  exit 1
fi
echo "fuzz: $passed passed, 0 failed"
