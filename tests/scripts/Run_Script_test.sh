#!/usr/bin/env bash
# Runs scripts/run.sh twice in a scratch copy of the project whose package installer, build and
# editor are stand-ins (the real plotvane-make-demo makes the demo folder), with no game user
# folder to find: the editor gets the demo folder both times, and a save to the demo challenge
# between the two runs is kept. Without a display, the pictures are rendered with a private
# runtime folder, which the run removes.
# Usage: Run_Script_test.sh SOURCE_FOLDER MAKE_DEMO_PROGRAM SCRATCH
set -euo pipefail

source_folder=$1
make_demo=$(realpath "$2")
scratch=$3
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$scratch"
project=$scratch/project
release=$project/build/release
mkdir -p "$project/scripts" "$release/cli" "$release/ui" "$scratch/stand-ins" "$scratch/caller"
cp "$source_folder/scripts/run.sh" "$project/scripts/"
echo 'install_missing_packages() { :; }' >"$project/scripts/packages.sh"
printf '#!/bin/sh\n' >"$scratch/stand-ins/cmake"
ln -s "$make_demo" "$release/cli/plotvane-make-demo"
# Without a game user folder, plotvane-cli names the current directory as the game folder.
printf '#!/bin/sh\necho "Game folder: $(pwd -P)"\n' >"$release/cli/plotvane-cli"
printf '#!/bin/sh\necho "editor on $PLOTVANE_DOCUMENTS"\n' >"$release/ui/plotvane"
printf '#!/bin/sh\nstat -c "runtime %%a %%n" "$XDG_RUNTIME_DIR"\n' >"$release/ui/plotvane-pictures"
chmod +x "$scratch/stand-ins/cmake" "$release/cli/plotvane-cli" "$release/ui/plotvane" \
  "$release/ui/plotvane-pictures"

run() {
  (cd "$scratch/caller" && PATH=$scratch/stand-ins:$PATH DISPLAY=:0 bash "$project/scripts/run.sh")
}

run >"$scratch/first.txt" || fail "the first run failed: $(cat "$scratch/first.txt")"
grep -qx "editor on $release/demo" "$scratch/first.txt" ||
  fail "the editor was not given the demo folder"
challenge=$release/demo/TrackMania/Tracks/Challenges/Demo.Challenge.Gbx
[ -f "$challenge" ] || fail "the first run made no demo challenge"

printf 'saved' >>"$challenge"
cp "$challenge" "$scratch/saved"
run >"$scratch/second.txt" || fail "the second run failed: $(cat "$scratch/second.txt")"
grep -qx "editor on $release/demo" "$scratch/second.txt" ||
  fail "the editor was not given the demo folder again"
cmp -s "$challenge" "$scratch/saved" || fail "the second run made the demo challenge anew"
echo "run.sh keeps the demo folder it made"

(cd "$scratch/caller" && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR \
  PATH="$scratch/stand-ins:$PATH" bash "$project/scripts/run.sh") >"$scratch/pictures.txt" 2>&1 ||
  fail "the run without a display failed: $(cat "$scratch/pictures.txt")"
read -r _ mode runtime < <(grep "^runtime " "$scratch/pictures.txt") && [ "$mode" = 700 ] ||
  fail "the pictures were rendered without a private runtime folder: $(cat "$scratch/pictures.txt")"
[ ! -e "$runtime" ] || fail "the runtime folder was left behind"
