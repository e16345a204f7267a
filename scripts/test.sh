#!/usr/bin/env bash
# Builds Plotvane with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
# Installs the Debian packages it needs first. Works from any folder.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
# The install test validates the desktop entry with desktop-file-validate.
plotvane_packages+=(desktop-file-utils)
install_missing_packages

# -O1 keeps the sanitized suites fast without losing useful stack traces.
cmake -S . -B build/test -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DPLOTVANE_SANITIZE=ON
cmake --build build/test -j"$(nproc)"
ctest --test-dir build/test --output-on-failure
