#!/usr/bin/env bash
# A long fuzzing campaign, off CI: runs each libFuzzer target for a fixed
# number of executions, one target at a time, and records for each the
# executions, the wall time, executions per second and what it found.
#   scripts/fuzz-campaign.sh [TARGET...]    (default: every target)
#   FUZZ_RUNS     executions per target (default 10000000)
#   FUZZ_TIMEOUT  seconds one input may take (default 20)
# The corpus of each target grows in $FUZZ_BUILD/campaign/corpus/TARGET and is
# kept, so a second campaign starts where the first left off. The figures go
# to $FUZZ_BUILD/campaign/results.tsv (one line per target run, appended);
# a finding's input is kept in $FUZZ_BUILD/campaign/artifacts. Run it niced
# on a shared machine: nice -n 19 scripts/fuzz-campaign.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/fuzz-lib.sh

runs=${FUZZ_RUNS:-10000000}
timeout=${FUZZ_TIMEOUT:-20}
targets=("$@")
((${#targets[@]})) || targets=("${FUZZ_TARGETS[@]}")

fuzz_build "${targets[@]}"
campaign="$PWD/$FUZZ_BUILD/campaign"
mkdir -p "$campaign/artifacts" "$campaign/logs"
results="$campaign/results.tsv"
[[ -s $results ]] || printf 'date\ttarget\truns\tseconds\texecs_per_sec\tcorpus\tresult\n' >"$results"

failed=()
for target in "${targets[@]}"; do
  corpus="$campaign/corpus/$target"
  [[ -d $corpus ]] || fuzz_seed "$target" "$corpus"
  log="$campaign/logs/$target.log"
  echo "== fuzz_$target for $runs executions"
  start=$(date +%s)
  result=clean
  if ! "$FUZZ_BUILD/fuzz/fuzz_$target" -runs="$runs" -timeout="$timeout" -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$campaign/artifacts/$target-" "$corpus" 2>"$log"; then
    result="finding: $(grep -m1 -E '^==[0-9]+==ERROR|^SUMMARY|ALARM|Test unit written' "$log" || echo 'see log')"
    failed+=("$target")
    tail -n 40 "$log"
  fi
  seconds=$(($(date +%s) - start))
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  inputs=$(find "$corpus" -type f | wc -l)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$target" "${executed:-?}" "$seconds" "${rate:-?}" \
    "$inputs" "$result" | tee -a "$results"
done

if ((${#failed[@]})); then
  echo "the campaign found faults in: ${failed[*]} (inputs in $campaign/artifacts)" >&2
  exit 1
fi
