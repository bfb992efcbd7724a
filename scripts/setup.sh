#!/usr/bin/env bash
# Sets up a fresh Debian machine for the library: installs the missing Debian
# packages and the viewer page's npm packages, configures a Release build in
# build/, builds it, and runs the example host (examples/frame_host) at its
# default size.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(build-essential cmake libboost-dev libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev calculix-ccx
  pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib pkg-config
  libcli11-dev chromium python3-meshio clang libclang-rt-dev
  libmumps-seq-dev libeigen3-dev libopenblas-dev)
# Node and npm from Debian unless some node is already there (a packaged
# npm would fight another node installation).
if ! command -v npm >/dev/null; then packages+=(nodejs npm); fi
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The viewer page's script: three.js and its bundler, pinned by the lock file.
npm ci --prefix tools/viewer/web --no-audit --no-fund

jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"

# The main job: the example host mirrors a frame of the default size into
# build/frame_host.qdb, runs its change session and prints its summary.
./build/bin/frame_host --file build/frame_host.qdb
