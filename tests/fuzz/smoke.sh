#!/bin/sh
# smoke.sh TARGET SEEDS SCRATCH RUNS: runs a fuzz target for RUNS inputs from a
# scratch copy of its seed corpus (the fuzzer adds what it learns there, never
# to the seeds) and fails when the target crashes, leaks or does not start.
# A crashing input is kept in SCRATCH as crash-*.
set -eu
target=$1 seeds=$2 scratch=$3 runs=$4
rm -rf "$scratch"
mkdir -p "$scratch/corpus"
cp "$seeds"/* "$scratch/corpus/"
# The start-up readers write each input to a file: keep it in memory if we can.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=/dev/shm
  export TMPDIR
fi
exec "$target" "$scratch/corpus" -runs="$runs" -seed=1 -close_fd_mask=3 \
  -artifact_prefix="$scratch/" -print_final_stats=1
