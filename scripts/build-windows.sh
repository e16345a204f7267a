#!/usr/bin/env bash
# Cross-builds plotvane-cli and plotvane-make-demo for 64-bit Windows with MinGW-w64 into
# build/windows/, the block name lists beside them: build/windows/cli/plotvane-cli.exe runs on
# a Windows machine with nothing else installed. build/windows/plotvane-hold-lock.exe, which
# holds a map's lock, is for the test that runs these programs under Wine (scripts/test.sh).
# Installs the Debian packages it needs first. Works from any folder.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
plotvane_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix nlohmann-json3-dev libcli11-dev)
install_missing_packages

cmake -S . -B build/windows -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MinGW-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DPLOTVANE_BUILD_EDITOR=OFF \
  -DPLOTVANE_BUILD_TESTS=OFF \
  -DPLOTVANE_BUILD_LOCK_HOLDER=ON
cmake --build build/windows -j"$(nproc)"
