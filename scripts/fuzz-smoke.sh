#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded time
# from its seed corpus and the inputs that once crashed it. Fails when any
# target finds a crash, a leak, a broken promise or an input slower than
# FUZZ_TIMEOUT seconds; the input is left in the artifact folder it prints.
#   FUZZ_SECONDS  time per target (default 45)
#   FUZZ_TIMEOUT  seconds one input may take (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-45}
timeout=${FUZZ_TIMEOUT:-20}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(boot_sector boot_candidate folders record run_list volume mount_info lznt1 attribute_list disk record_groups
         index_entries)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVERANDOL_FUZZ=ON -DVERANDOL_BUILD_GUI=OFF -DVERANDOL_WERROR=ON >/dev/null
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d "${TMPDIR:-/tmp}/verandol-fuzz-smoke.XXXXXX")
artifacts="$PWD/$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  # The seeds are copied so the run's new inputs never land in the repository.
  cp fuzz/corpus/"$target"/* "$corpus"/
  if compgen -G "tests/fuzz-regressions/$target/*" >/dev/null; then
    cp tests/fuzz-regressions/"$target"/* "$corpus"/
  fi
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
