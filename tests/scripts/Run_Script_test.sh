#!/usr/bin/env bash
# Runs scripts/run.sh twice in a scratch copy of the project whose package installer, build and
# editor are stand-ins (the real plotvane-make-demo makes the demo folder), with no game user
# folder to find: the editor gets the demo folder both times, and a save to the demo challenge
# between the two runs is kept.
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
chmod +x "$scratch/stand-ins/cmake" "$release/cli/plotvane-cli" "$release/ui/plotvane"

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
