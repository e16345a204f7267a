#!/usr/bin/env bash
# Builds Plotvane (Release) and shows what it reads. With arguments, they go to plotvane-cli;
# without, it makes a demo game user folder in build/release/demo and runs plotvane-cli's
# commands on it. Installs the Debian packages it needs first. Works from any folder.
set -euo pipefail

caller_folder=$PWD
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
install_missing_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLOTVANE_BUILD_TESTS=OFF
cmake --build build/release -j"$(nproc)"

cli=build/release/cli/plotvane-cli
if [ "$#" -gt 0 ]; then
  # Paths in the arguments are the caller's.
  cli=$PWD/$cli
  cd "$caller_folder"
  exec "$cli" "$@"
fi

demo=build/release/demo
build/release/cli/plotvane-make-demo "$demo"
challenge="$demo/Tracks/Challenges/Demo.Challenge.Gbx"
set -x
"$cli" info "$challenge" "$demo/Profiles/Demo.Profile.Gbx"
"$cli" blocks "$challenge"
"$cli" profiles --game-folder "$demo"
