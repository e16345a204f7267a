#!/usr/bin/env bash
# Builds Plotvane (Release) and starts the editor. When no game user folder is found, the editor
# opens on a demo one that the build makes; without a display it renders pictures of the editor
# instead. With arguments, they go to plotvane-cli. Installs the Debian packages it needs first.
# Works from any folder.
set -euo pipefail

caller_folder=$PWD
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
install_missing_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLOTVANE_BUILD_TESTS=OFF
cmake --build build/release -j"$(nproc)"
release=$PWD/build/release

# The demo documents folder: TrackMania/ in it holds a profile and a challenge by that player.
# Made only when it is missing, so that the player's saves to the demo challenge stay.
demo_documents=$release/demo
if [ ! -d "$demo_documents/TrackMania" ]; then
  "$release/cli/plotvane-make-demo" "$demo_documents/TrackMania" >/dev/null
fi

# Paths in the arguments, and the current directory the editor falls back on, are the caller's.
cd "$caller_folder"
if [ "$#" -gt 0 ]; then
  exec "$release/cli/plotvane-cli" "$@"
fi

# Without a game user folder the editor would look in the current directory (links resolved).
game_folder=$("$release/cli/plotvane-cli" profiles | sed -n 's/^Game folder: //p')
if [ "$game_folder" = "$(pwd -P)" ]; then
  echo "No TrackMania game user folder found: using the demo one (PLOTVANE_DOCUMENTS=$demo_documents)."
  export PLOTVANE_DOCUMENTS=$demo_documents
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): rendering pictures of the editor instead."
  # A session without a desktop often has no runtime folder, which Qt warns about: a private
  # one for this run, removed at its end.
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
  fi
  "$release/ui/plotvane-pictures" "$release/pictures"
  exit
fi
exec "$release/ui/plotvane"
