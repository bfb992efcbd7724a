#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (every library they link instrumented too) and
# runs each for a bounded time from its committed seed corpus. New inputs
# found go to a scratch corpus, so the committed seeds stay as they are; a
# finding stops the run with the fuzzer's report and a crash-* file.
#
# usage: tests/fuzz/run.sh [seconds per target]   (default 60, or $FUZZ_SECONDS)
#        FUZZ_BUILD_DIR (default build-fuzz) names the build directory.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

seconds="${1:-${FUZZ_SECONDS:-60}}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"
jobs="$(nproc 2>/dev/null || echo 2)"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILM_BUILD_FUZZERS=ON -DQUILM_BUILD_TESTS=OFF -DQUILM_BUILD_EXAMPLES=OFF -DQUILM_BUILD_PYTHON=OFF \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_model_file fuzz_compressed_set

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for target in model_file compressed_set; do
  echo "== fuzz_$target for ${seconds} s"
  mkdir -p "$scratch/$target"
  # Operation sequences may grow beyond the small seeds; model files stay
  # within the largest seed's size.
  lengths=()
  if [ "$target" = compressed_set ]; then lengths=(-max_len=4096); fi
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  TMPDIR="$scratch" \
    "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/" -print_final_stats=1 "${lengths[@]}" "$scratch/$target" "tests/fuzz/corpus/$target"
done
echo "fuzzing passed"
