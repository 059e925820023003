#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded time
# from its seed corpus and the inputs that once crashed it. Fails when any
# target finds a crash, a leak, a broken promise or an input slower than
# FUZZ_TIMEOUT seconds; the input is left in the artifact folder it prints.
#   FUZZ_SECONDS  time per target (default 30)
#   FUZZ_TIMEOUT  seconds one input may take (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/fuzz-lib.sh

seconds=${FUZZ_SECONDS:-30}
timeout=${FUZZ_TIMEOUT:-20}
build=$FUZZ_BUILD
targets=("${FUZZ_TARGETS[@]}")

fuzz_build "${targets[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/verandol-fuzz-smoke.XXXXXX")
artifacts="$PWD/$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$work/$target"
  fuzz_seed "$target" "$corpus"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$corpus" 2>"$work/$target.log"; then
    failed+=("$target")
    tail -n 60 "$work/$target.log"
  fi
  grep -E "^stat::(number_of_executed_units|average_exec_per_sec)" "$work/$target.log" || true
done
rm -rf "$work"

if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $artifacts)" >&2
  exit 1
fi
echo "fuzz smoke passed"
