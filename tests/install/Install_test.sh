#!/usr/bin/env bash
# Installs the build into a scratch root and checks what a desktop needs to offer the editor in
# its application menu: both programs, a valid desktop entry whose Exec and Icon name installed
# files, and the icon at each size in the hicolor theme; and the block name lists in
# share/plotvane/, where the editor looks for them beside its own folder.
# Usage: Install_test.sh BUILD_FOLDER SCRATCH_ROOT
set -euo pipefail

build=$1
root=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

for program in plotvane plotvane-cli; do
  [ -x "$root/usr/bin/$program" ] || fail "$program is not installed in usr/bin"
done
# The installed programs run from where they were put.
"$root/usr/bin/plotvane" --version | grep -q '^plotvane ' || fail "the installed editor does not run"
"$root/usr/bin/plotvane-cli" --help >/dev/null || fail "the installed plotvane-cli does not run"

# Data lies in share/plotvane/, the programs alone in bin/.
for collection in Alpine Bay Coast Island Rally Speed Stadium; do
  [ -s "$root/usr/share/plotvane/Blocks-$collection.Lst" ] ||
    fail "no block name list Blocks-$collection.Lst in usr/share/plotvane"
done
stray=$(find "$root/usr/bin" -mindepth 1 ! -name plotvane ! -name plotvane-cli)
[ -z "$stray" ] || fail "usr/bin holds more than the programs: $stray"

entry=$root/usr/share/applications/plotvane.desktop
[ -f "$entry" ] || fail "no desktop entry at usr/share/applications/plotvane.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the desktop entry is not valid"
else
  echo "desktop-file-validate is missing (Debian's desktop-file-utils): entry not validated"
fi

exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$root/usr/bin/$exec_program" ] || fail "Exec=$exec_program is not an installed program"
# A file given by a file manager is opened in the window, never converted in place.
grep -qx "Exec=$exec_program --open %f" "$entry" ||
  fail "the desktop entry does not open its file: $(grep '^Exec=' "$entry")"

# The icon is found by name in every size folder, and each file is of its folder's size (a PNG
# holds its width and height as big-endian numbers at bytes 16 and 20).
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 32 48 128 256; do
  file=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
  [ -f "$file" ] || fail "no icon $icon.png of $size pixels"
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$file")
  [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
    fail "$file is ${width}x$height, not ${size}x$size"
done

echo "installed: programs, block name lists, desktop entry and icons"
