#!/usr/bin/env bash
# Runs one fuzz target of the build folder build-fuzz (see fuzz/README.md):
#   fuzz/run.sh TARGET [SECONDS] [MAX_LEN]
# New inputs go to fuzz/findings/TARGET/corpus, crashes to fuzz/findings/TARGET/; the saved
# corpus fuzz/corpus/TARGET is read, never written.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
target=${1:?usage: fuzz/run.sh TARGET [SECONDS] [MAX_LEN]}
seconds=${2:-600}
max_len=${3:-65536}
binary=${PLOTVANE_FUZZ_BUILD:-$here/../build-fuzz}/fuzz/$target
findings=$here/findings/$target
mkdir -p "$findings/corpus"
exec nice -n 10 "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$findings/corpus" "$here/corpus/$target"
