#!/usr/bin/env bash
# bench/image.sh: times `verandol-cli image` copying a healthy device image
# against `dd bs=1M` and GNU ddrescue copying the same image in the same
# run, and writes docs/performance-image.md.
#
#   bench/image.sh
#
# Environment: BENCH_IMAGE_MIB (image size, default 512), BENCH_RUNS (timed
# rounds, default 5), VERANDOL_CLI (a verandol-cli already built, instead of
# a Release build in build-bench), BENCH_DIR (where the files are made,
# default /dev/shm: in memory, so the figures are the copiers' own work and
# not the host disk's write-back, which on a shared machine varies threefold
# from one run to the next; BENCH_DIR=/var/tmp times a real disk).
#
# The source is pseudo-random, read from a warm page cache; each copy is
# written to a new file. The image command flushes the copy to the disk
# before each save of its map, so that a map never counts bytes a power
# cut could still take; dd is timed both plain and with conv=fdatasync,
# which does the same flush, and ddrescue as it runs by default.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
. bench/bench-cli.sh
MIB=${BENCH_IMAGE_MIB:-512}
RUNS=${BENCH_RUNS:-5}
command -v ddrescue >/dev/null || { echo "ddrescue is not installed (Debian package gddrescue)" >&2; exit 1; }

BENCH_DIR=${BENCH_DIR:-/dev/shm}
work=$(mktemp -d "$BENCH_DIR/verandol-image-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
source="$work/device.img"
# openssl ends on the broken pipe once head has its bytes.
openssl enc -aes-128-ctr -nosalt -pass pass:verandol </dev/zero 2>/dev/null |
    head -c $((MIB << 20)) >"$source" || [[ $(stat -c %s "$source") -eq $((MIB << 20)) ]]

seconds() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || true
    local end=$EPOCHREALTIME
    python3 -c "print(f'{$end - $start:.6f}')"
}
fresh() { rm -f "$work/copy" "$work/copy.map"; sync; cat "$source" >/dev/null; }

dd_times=() ddsync_times=() image_times=() ddrescue_times=()
for ((i = 0; i <= RUNS; i++)); do
    fresh; d=$(seconds dd if="$source" of="$work/copy" bs=1M)
    fresh; f=$(seconds dd if="$source" of="$work/copy" bs=1M conv=fdatasync)
    fresh; v=$(seconds "$CLI" image "$source" "$work/copy")
    cmp -s "$source" "$work/copy" || { echo "the image differs from its source" >&2; exit 1; }
    fresh; r=$(seconds ddrescue -q "$source" "$work/copy" "$work/copy.map")
    # The first round only warms up.
    ((i == 0)) && continue
    dd_times+=("$d") ddsync_times+=("$f") image_times+=("$v") ddrescue_times+=("$r")
done

python3 - "$MIB" "$RUNS" "${dd_times[*]}" "${ddsync_times[*]}" "${image_times[*]}" "${ddrescue_times[*]}" \
    "$(git rev-parse --short HEAD)" "$(cut -d' ' -f1-3 /proc/loadavg)" "$(ddrescue --version | head -1)" "$BENCH_DIR" \
    >docs/performance-image.md <<'PY'
import statistics, sys
mib, runs, dd, ddsync, image, ddrescue, revision, load, version, folder = sys.argv[1:11]
series = {name: [float(v) for v in values.split()] for name, values in
          (("dd", dd), ("ddsync", ddsync), ("image", image), ("ddrescue", ddrescue))}
def ratio(a, b):
    return statistics.median(x / y for x, y in zip(series[a], series[b]))
print("# Performance of the device copy")
print()
print(f"`verandol-cli image` copying a healthy {mib} MiB device image (pseudo-random data, read from a warm "
      f"page cache, written to a new file in {folder}) against `dd bs=1M` and {version} in the same run; {runs} rounds "
      f"after a warm-up round, each ratio taken within its round, median shown.")
print()
print(f"Made with: `bench/image.sh` (BENCH_RUNS, VERANDOL_CLI as set). Code measured: commit {revision}. "
      f"Load average when the run began: {load}.")
print()
print("| | median seconds | MiB/s |")
print("|---|---:|---:|")
for name, label in (("dd", "dd bs=1M"), ("ddsync", "dd bs=1M conv=fdatasync"), ("image", "verandol-cli image"),
                    ("ddrescue", "ddrescue")):
    m = statistics.median(series[name])
    print(f"| {label} | {m:.3f} | {int(mib) / m:.0f} |")
print()
r = ratio("image", "dd")
print(f"image / dd: {r:.2f} (goal 1.1: {'met' if r <= 1.1 else '**missed**'}); "
      f"image / dd with fdatasync: {ratio('image', 'ddsync'):.2f}; image / ddrescue: {ratio('image', 'ddrescue'):.2f}")
print()
print("per round, image / dd: " + ", ".join(f"{x / y:.2f}" for x, y in zip(series["image"], series["dd"])))
PY
cat docs/performance-image.md
