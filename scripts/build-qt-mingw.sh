#!/usr/bin/env bash
# Builds the Qt that the Windows editor links: Debian's own qt6-base source, of exactly the
# version of the installed host tools, cross-built static for 64-bit Windows with MinGW-w64 and
# only what the editor uses. Built once per machine into a cache folder outside the clone,
# named by the Qt version and the options; a stamp written last marks a finished build, so a
# half-built cache is never used. Prints the install folder on its last line of standard
# output. Takes about a quarter of an hour on two cores the first time, nothing after.
#
# PLOTVANE_CACHE overrides the cache root (default: $XDG_CACHE_HOME/plotvane or ~/.cache/plotvane).
set -euo pipefail

project="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$project/scripts/packages.sh"
plotvane_packages=(cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools
                   g++-mingw-w64-x86-64-posix)
install_missing_packages

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

# Every module and feature the editor does not use is left out: a smaller, faster build.
# tabletevent: Debian's source leaves out the Wintab header it needs. dynamicgl goes with
# opengl, or the Windows platform plugin does not compile. directwrite3 goes with direct2d:
# QtGui builds its DirectWrite font database only with both, while the Windows platform plugin
# asks for it with directwrite3 alone, and a program that links it would not link; the plugin
# then uses the GDI font database.
qt_options=(
  -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_opengl=OFF
  -DFEATURE_dynamicgl=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_testlib=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_direct2d=OFF
  -DFEATURE_directwrite3=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_gif=OFF
  -DFEATURE_ico=OFF
  -DFEATURE_pdf=OFF
)

qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)"
options_hash="$(printf '%s\n' "${qt_options[@]}" | sha256sum | cut -c1-8)"
cache_root="${PLOTVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/plotvane}"
install_dir="$cache_root/qt-${qt_version%%+*}-mingw64-static-$options_hash"
stamp="$install_dir/plotvane-qt-complete"

if [ -f "$stamp" ]; then
  echo "$install_dir"
  exit 0
fi

work="$cache_root/qt-build-$options_hash"
rm -rf "$work" "$install_dir"
mkdir -p "$work"
cd "$work"

# apt-get source needs deb-src entries: add them beside each Debian deb entry when missing.
if ! apt-get source --print-uris "qt6-base=$qt_version" >/dev/null 2>&1; then
  for sources in /etc/apt/sources.list.d/*.sources; do
    grep -q '^URIs: .*debian' "$sources" || continue
    target="/etc/apt/sources.list.d/plotvane-src-$(basename "$sources")"
    sed 's/^Types: deb$/Types: deb-src/' "$sources" | "${sudo[@]}" tee "$target" >/dev/null
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
      "${sudo[@]}" tee /etc/apt/sources.list.d/plotvane-src.list >/dev/null
  fi
  "${sudo[@]}" apt-get update
fi
echo "Fetching the source of qt6-base $qt_version"
apt-get source --download-only "qt6-base=$qt_version" >/dev/null
dpkg-source --no-check -x qt6-base_*.dsc qtbase >/dev/null

source_version="$(dpkg-parsechangelog -l qtbase/debian/changelog -S Version)"
if [ "$source_version" != "$qt_version" ]; then
  echo "build-qt-mingw.sh: the source is qt6-base $source_version, the host tools $qt_version" >&2
  exit 1
fi

echo "Configuring Qt $qt_version for MinGW-w64 into $install_dir"
cmake -S qtbase -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$project/cmake/MinGW-w64-x86_64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$install_dir" \
  -DQT_HOST_PATH=/usr \
  -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
  "${qt_options[@]}" >configure.log
echo "Building Qt (about a quarter of an hour on two cores; log in $work/build.log)"
cmake --build build -j"$(nproc)" >build.log
cmake --install build >install.log
cd /
rm -rf "$work"
date -u +%FT%TZ >"$stamp"
echo "$install_dir"
