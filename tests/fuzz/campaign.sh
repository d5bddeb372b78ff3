#!/bin/sh
# campaign.sh [-t SECONDS] BUILD_DIR [TARGET...]
# Runs each fuzz target of a -DKVL_FUZZ=ON build for SECONDS (default 60)
# from a scratch copy of its seed corpus, one after the other, and prints a
# table: seconds it ran, inputs run, inputs a second, corpus size at the end,
# and findings (crash, leak, timeout or out-of-memory inputs, kept in the
# target's scratch folder; a target stops at its first finding). Without TARGET names it runs every target that has seeds. Exits 1
# when a target found something or did not run.
set -eu
seconds=60
if [ "${1:-}" = "-t" ]; then
  seconds=$2
  shift 2
fi
[ $# -ge 1 ] || { echo "usage: $0 [-t SECONDS] BUILD_DIR [TARGET...]" >&2; exit 2; }
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -eq 0 ]; then
  for seeds in "$here"/corpus/*/; do
    name=$(basename "$seeds")
    [ -x "$build/bin/$name" ] && set -- "$@" "$name"
  done
fi
[ $# -ge 1 ] || { echo "$0: no fuzz targets in $build/bin (build kvl_fuzz_targets)" >&2; exit 2; }

# The start-up readers write each input to a file: keep it in memory if we can.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=/dev/shm
  export TMPDIR
fi

status=0
printf '%-22s %8s %12s %10s %8s %s\n' target seconds executions exec/s corpus findings
for name in "$@"; do
  scratch=$build/tests/fuzz/campaign/$name
  rm -rf "$scratch"
  mkdir -p "$scratch/corpus"
  cp "$here/corpus/$name"/* "$scratch/corpus/"
  log=$scratch/log
  rc=0
  start=$(date +%s)
  "$build/bin/$name" "$scratch/corpus" -max_total_time="$seconds" -timeout=10 \
    -close_fd_mask=3 -artifact_prefix="$scratch/" -print_final_stats=1 >"$log" 2>&1 || rc=$?
  elapsed=$(($(date +%s) - start))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  time=$(sed -n 's/^stat::\(average_exec_per_sec\): *//p' "$log" | tail -n 1)
  corpus=$(find "$scratch/corpus" -type f | wc -l)
  findings=$(find "$scratch" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
               -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  note=$findings
  if [ "$findings" -gt 0 ]; then
    note="$findings: $(find "$scratch" -maxdepth 1 -type f -name '*-*' ! -name log -printf '%f ' | cut -c1-60)"
    status=1
  elif [ "$rc" -ne 0 ] || [ -z "$runs" ]; then
    note="did not run (status $rc, see $log)"
    status=1
  fi
  printf '%-22s %8s %12s %10s %8s %s\n' "$name" "$elapsed" "${runs:--}" "${time:--}" "$corpus" "$note"
done
exit $status
