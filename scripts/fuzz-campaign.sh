#!/usr/bin/env bash
# A long fuzzing campaign, off CI: runs each libFuzzer target for a fixed
# number of executions, one target at a time, and records for each the
# executions, the wall time, executions per second and what it found.
#   scripts/fuzz-campaign.sh [TARGET...]    (default: every target)
#   FUZZ_RUNS     executions per target (default 10000000)
#   FUZZ_TIMEOUT  seconds one input may take (default 20)
#   FUZZ_FAST=1   run the executions without AddressSanitizer (UndefinedBehavior-
#                 Sanitizer only, in build-fuzz-undefined), then run every input
#                 the campaign kept once through the AddressSanitizer build. On a
#                 target that reads a volume's worth of bytes per input, the
#                 address checks' fresh mappings cost three quarters of its time.
# The corpus of each target grows in build-fuzz/campaign/corpus/TARGET and is
# kept, so a second campaign starts where the first left off, fast or not.
# The figures go to build-fuzz/campaign/results.tsv (one line per target run,
# appended; a fast run adds a line for its replay); a finding's input is kept
# in build-fuzz/campaign/artifacts. Run it niced on a shared machine:
#   nice -n 19 scripts/fuzz-campaign.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/fuzz-lib.sh

runs=${FUZZ_RUNS:-10000000}
timeout=${FUZZ_TIMEOUT:-20}
targets=("$@")
((${#targets[@]})) || targets=("${FUZZ_TARGETS[@]}")

fuzz_build "${targets[@]}"
checked=$FUZZ_BUILD  # the AddressSanitizer build every finding is judged by
runner=$FUZZ_BUILD   # the build that runs the executions
how=address,undefined
label=""             # what the results line adds to the target's name
if [[ ${FUZZ_FAST:-0} == 1 ]]; then
  runner=$FUZZ_BUILD-undefined how=undefined label=" (undefined only)"
  FUZZ_BUILD=$runner FUZZ_BUILD_SANITIZERS=undefined fuzz_build "${targets[@]}"
fi
campaign="$PWD/$checked/campaign"
mkdir -p "$campaign/artifacts" "$campaign/logs"
results="$campaign/results.tsv"
[[ -s $results ]] || printf 'date\ttarget\truns\tseconds\texecs_per_sec\tcorpus\tresult\n' >"$results"

# run_target BUILD TARGET LOG ARG...: runs one fuzzer over the target's corpus;
# prints "clean" or what it found.
run_target() {
  local build=$1 target=$2 log=$3
  shift 3
  if "$build/fuzz/fuzz_$target" -timeout="$timeout" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$campaign/artifacts/$target-" "$@" "$campaign/corpus/$target" 2>"$log"; then
    echo clean
  else
    echo "finding: $(grep -m1 -E '^==[0-9]+==ERROR|^SUMMARY|ALARM|Test unit written' "$log" || echo 'see log')"
  fi
}

# record TARGET LOG SECONDS RESULT LABEL: one line of the results.
record() {
  local executed rate inputs
  # The last figures: a log another run of the same target wrote into too
  # holds the other's before them.
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$2" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$2" | tail -n 1)
  inputs=$(find "$campaign/corpus/$1" -type f | wc -l)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$1$5" "${executed:-?}" "$3" "${rate:-?}" \
    "$inputs" "$4" | tee -a "$results"
}

failed=()
for target in "${targets[@]}"; do
  corpus="$campaign/corpus/$target"
  [[ -d $corpus ]] || fuzz_seed "$target" "$corpus"
  log="$campaign/logs/$target.log"
  echo "== fuzz_$target for $runs executions ($how)"
  start=$(date +%s)
  result=$(run_target "$runner" "$target" "$log" -runs="$runs")
  record "$target" "$log" $(($(date +%s) - start)) "$result" "$label"
  if [[ $result == clean && $runner != "$checked" ]]; then
    # Every input the campaign kept, once, with the address checks.
    start=$(date +%s)
    result=$(run_target "$checked" "$target" "$log.replay" -runs=0)
    record "$target" "$log.replay" $(($(date +%s) - start)) "$result" " (replay, address,undefined)"
  fi
  if [[ $result != clean ]]; then
    failed+=("$target")
    tail -n 40 "$log"*
  fi
done

if ((${#failed[@]})); then
  echo "the campaign found faults in: ${failed[*]} (inputs in $campaign/artifacts)" >&2
  exit 1
fi
