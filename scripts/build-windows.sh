#!/usr/bin/env bash
# Cross-builds Plotvane for 64-bit Windows with MinGW-w64 into build/windows/: the editor
# (ui/plotvane.exe, and ui/plotvane-pictures.exe, which draws its pictures), plotvane-cli and
# plotvane-make-demo, each statically linked with the block name lists beside it, so that they
# run on a Windows machine with nothing else installed. The editor links the Qt that
# scripts/build-qt-mingw.sh builds once per machine (a quarter of an hour the first time).
# build/windows/plotvane-windows-x64.zip is what a Windows player downloads: plotvane.exe,
# plotvane-cli.exe, the lists and README.txt. build/windows/plotvane-hold-lock.exe, which holds
# a map's lock, is for the test that runs these programs under Wine (scripts/test.sh).
# Installs the Debian packages it needs first. Works from any folder.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
plotvane_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix nlohmann-json3-dev libcli11-dev
                   qt6-base-dev-tools)
install_missing_packages

# Its last line of standard output is Qt's install folder; the lines before it are shown.
qt_dir="$(scripts/build-qt-mingw.sh | tee /dev/stderr | tail -n 1)"

# Qt's build tools (moc, rcc, uic) are the build machine's own, of the same version. The
# programs are linked without their symbol table (-s): the editor is half the size, and the
# programs the Wine tests run are the very ones in the player's archive.
cmake -S . -B build/windows -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MinGW-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s \
  -DPLOTVANE_MINGW_QT_DIR="$qt_dir" \
  -DCMAKE_PREFIX_PATH="$qt_dir" \
  -DQt6_DIR="$qt_dir/lib/cmake/Qt6" \
  -DQT_HOST_PATH=/usr \
  -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
  -DPLOTVANE_BUILD_EDITOR=ON \
  -DPLOTVANE_BUILD_TESTS=OFF \
  -DPLOTVANE_BUILD_LOCK_HOLDER=ON
cmake --build build/windows -j"$(nproc)"

# The player's archive: one folder, as it unpacks.
package=plotvane-windows-x64
rm -rf "build/windows/$package" "build/windows/$package.zip"
mkdir "build/windows/$package"
cp build/windows/ui/plotvane.exe build/windows/cli/plotvane-cli.exe blocknames/Blocks-*.Lst \
  "build/windows/$package/"
cp ui/Windows_Readme.txt "build/windows/$package/README.txt"
(cd build/windows && cmake -E tar cf "$package.zip" --format=zip "$package")
echo "build/windows/$package.zip"
