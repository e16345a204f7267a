#!/usr/bin/env bash
# Builds Plotvane with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test, the
# Windows programs' too: scripts/build-windows.sh cross-builds them (the editor with the Qt it
# builds once per machine) into build/windows/ and tests run them under Wine beside the Linux
# ones. Installs the Debian packages it needs first.
# Works from any folder.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
# The install test validates the desktop entry with desktop-file-validate; Wine runs the
# Windows programs (wine64 is its 64-bit loader); the Windows editor's window is used on a
# virtual X server (Xvfb) with keys that xdotool types, photographed by ImageMagick's import;
# the pictures program draws with the DejaVu fonts.
plotvane_packages+=(desktop-file-utils wine wine64 xvfb xauth xdotool imagemagick
                    fonts-dejavu-core)
install_missing_packages

scripts/build-windows.sh

# -O1 keeps the sanitized suites fast without losing useful stack traces.
cmake -S . -B build/test -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DPLOTVANE_SANITIZE=ON \
  -DPLOTVANE_WINDOWS_BUILD_DIR="$PWD/build/windows"
cmake --build build/test -j"$(nproc)"
ctest --test-dir build/test --output-on-failure
