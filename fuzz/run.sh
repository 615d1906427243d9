#!/usr/bin/env bash
# Runs every libFuzzer target of BUILD_DIR for SECONDS each, starting from the
# seed corpus in fuzz/corpus/<target>. New inputs collect in
# BUILD_DIR/found/<target>; with MERGE=1 those that reach code the seeds do not
# are merged back into the seed corpus. Merging by edges alone (-use_counters=0:
# hit counts do not count) keeps the committed corpus to a few hundred small
# files per target. A failing target
# leaves its crashing input in BUILD_DIR/ and makes the script fail.
#
#   [FUZZ_JOBS=N] fuzz/run.sh BUILD_DIR SECONDS MERGE MAX_LEN TARGET...
set -uo pipefail
build=$1 seconds=$2 merge=$3 max_len=$4
shift 4
root=$(cd "$(dirname "$0")" && pwd)
jobs=${FUZZ_JOBS:-1}  # targets run side by side, one core each
failed=()

fuzz_one() {
  local target=$1
  "$build/fuzz/zoret_${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$build/$target-" "$build/found/$target" \
    "$root/corpus/$target" >"$build/$target.log" 2>&1
  echo $? >"$build/$target.status"
}

for target in "$@"; do
  mkdir -p "$build/found/$target"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  fuzz_one "$target" &
done
wait

# Reported, and merged, in the order given.
for target in "$@"; do
  binary="$build/fuzz/zoret_${target}_fuzz"
  found="$build/found/$target"
  log="$build/$target.log"
  status=$(cat "$build/$target.status")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -1)
  printf '%-11s %10s runs in %ss  %s\n' "$target" "${runs:-?}" "$seconds" "$corpus"
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    grep -E 'property does not hold|ERROR: |SUMMARY: |Test unit written' "$log" | head -5 | sed 's/^/    /'
    continue
  fi
  if [ "$merge" = 1 ]; then
    "$binary" -merge=1 -use_counters=0 -max_len="$max_len" "$root/corpus/$target" "$found" \
      >"$log.merge" 2>&1 &&
      grep -o 'MERGE-OUTER: [0-9]* new files' "$log.merge" | sed 's/^/    /'
  fi
done
if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzzing found failures in: ${failed[*]} (logs in $build/)" >&2
  exit 1
fi
