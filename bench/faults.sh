#!/usr/bin/env bash
# bench/faults.sh: times `verandol-cli scan` and `scan --deep` on a failing
# device against the same scans of a healthy copy served the same way, and
# counts the failing reads each makes; writes docs/performance-faults.md.
#
#   bench/faults.sh            (as root: the device is served through FUSE)
#
# The device is the faults fixture volume (190 deleted files) served by the
# test program verandol-failing-device, with a 10 KiB bad spot over ten MFT
# records of deleted files; each failing read takes BENCH_FAIL_DELAY seconds
# (default 0.2), as a disk that retries inside the drive does. The healthy
# copy is the same image through the same program without the spot, so both
# pay the same for FUSE.
#
# Environment: BENCH_RUNS (timed runs of each, default 3), BENCH_FAIL_DELAY,
# VERANDOL_CLI and VERANDOL_FAILING_DEVICE (binaries already built, instead of
# a Release build in build-bench-faults).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
RUNS=${BENCH_RUNS:-3}
DELAY=${BENCH_FAIL_DELAY:-0.2}
BUILD="$ROOT/build-bench-faults"
if [[ -z ${VERANDOL_CLI:-} || -z ${VERANDOL_FAILING_DEVICE:-} ]]; then
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVERANDOL_BUILD_GUI=OFF >/dev/null
    cmake --build "$BUILD" --target verandol-cli verandol-failing-device -j2 >/dev/null
fi
CLI=${VERANDOL_CLI:-$BUILD/cli/verandol-cli}
DEVICE=${VERANDOL_FAILING_DEVICE:-$BUILD/tests/failing_device/verandol-failing-device}

work=$(mktemp -d /var/tmp/verandol-faults-bench.XXXXXX)
mounts=()
cleanup() {
    for m in "${mounts[@]}"; do fusermount3 -u "$m" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
xz -dkc tests/fixtures/faults.img.xz >"$work/faults.img"
# Ten records of deleted files in a row, from the manifest.
spot=$(python3 - tests/fixtures/faults.manifest.json <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
g = m["geometry"]
deleted = {f["mft_record"] for f in m["files"] if f["deleted"]}
first = next(r for r in sorted(deleted) if all(r + i in deleted for i in range(10)))
print(f"{g['mft_offset'] + first * g['record_size']}+{10 * g['record_size']} {first}")
PY
)
read -r bad first <<<"$spot"

serve() {  # serve NAME [--bad ...]: mounts the image at $work/NAME
    local name=$1
    shift
    mkdir -p "$work/$name"
    "$DEVICE" --image "$work/faults.img" --stats "$work/$name.stats" --fail-delay "$DELAY" "$@" "$work/$name" -f &
    mounts+=("$work/$name")
    for _ in $(seq 100); do [[ -e $work/$name/device ]] && return; sleep 0.05; done
    echo "the device $name did not appear" >&2
    exit 1
}
serve healthy
serve failing --bad "$bad"

failing_reads() { awk '$1 == "failing_reads" { print $2 }' "$work/$1.stats"; }
seconds() {  # seconds COMMAND...: wall time; the exit status is not judged here
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || true
    local end=$EPOCHREALTIME
    python3 -c "print(f'{$end - $start:.3f}')"
}

results=()
for pass in scan deep; do
    args=(scan)
    [[ $pass == deep ]] && args+=(--deep)
    for device in healthy failing; do
        times=()
        for ((i = 0; i < RUNS; i++)); do
            before=$(failing_reads "$device")
            times+=("$(seconds "$CLI" "${args[@]}" "$work/$device/device")")
            after=$(failing_reads "$device")
        done
        results+=("$pass $device $((after - before)) ${times[*]}")
    done
done
rows=$("$CLI" scan "$work/failing/device" 2>/dev/null | grep -vc '^#\|^Record Positon' || true)

python3 - "$DELAY" "$RUNS" "$first" "$rows" "$(git rev-parse --short HEAD)" "$(cut -d' ' -f1-3 /proc/loadavg)" \
    "${results[@]}" >docs/performance-faults.md <<'PY'
import statistics, sys
delay, runs, first, rows, revision, load = sys.argv[1:7]
results = {}
for line in sys.argv[7:]:
    p, device, failing, *times = line.split()
    results[(p, device)] = (int(failing), statistics.median(float(t) for t in times))
first = int(first)
print("# Reading a failing device")
print()
print(f"`verandol-cli scan` and `scan --deep` of the faults fixture volume (16 MiB, 190 deleted files) served "
      f"through FUSE by the test program `verandol-failing-device`, with a 10 KiB bad spot over MFT records "
      f"{first}-{first + 9} (all deleted files), each failing read taking {delay} s, against the same scans of "
      f"the same image served the same way without the spot. Median of {runs} runs; the failing reads are "
      f"counted by the device, per run (every run is a process of its own, with a map of its own).")
print()
print(f"Made with: `bench/faults.sh` (BENCH_RUNS, BENCH_FAIL_DELAY as set). Code measured: commit {revision}. "
      f"Load average when the run began: {load}.")
print()
print("| pass | healthy s | failing s | failing / healthy | failing reads |")
print("|---|---:|---:|---:|---:|")
for p in ("scan", "deep"):
    h = results[(p, "healthy")]
    f = results[(p, "failing")]
    name = "scan" if p == "scan" else "scan --deep"
    print(f"| {name} | {h[1]:.2f} | {f[1]:.2f} | {f[1] / h[1]:.1f} | {f[0]} |")
print()
print(f"Rows listed from the failing device: {rows} (190 deleted files, 10 of them in the unreadable records). "
      f"The time over the healthy scan is the failing reads times {delay} s.")
PY
cat docs/performance-faults.md
