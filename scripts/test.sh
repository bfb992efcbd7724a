#!/usr/bin/env bash
# Builds the library and its tests in build/ and runs every test through ctest.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILM_BUILD_TESTS=ON
cmake --build build -j"$jobs"
cd build
ctest --output-on-failure -j2
