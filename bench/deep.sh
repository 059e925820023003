#!/usr/bin/env bash
# bench/deep.sh: times `verandol-cli scan --deep` over a benchmark volume
# against `dd bs=1M` of the same image, both with the page cache warm,
# checks that the deep scan lists every deleted file once and nothing else,
# and writes docs/performance-deep.md with the ratio and the peak memory.
#
#   sudo bench/deep.sh
#
# Environment: BENCH_DEEP_FILES (files on the volume, half of them deleted,
# default 100000), BENCH_DEEP_MIB (the volume's size, default 4096),
# BENCH_RUNS (timed pairs, default 5), VERANDOL_CLI (a verandol-cli already
# built, instead of a Release build in build-bench), VERANDOL_BENCH_CACHE
# (where make-volume.sh keeps images).
#
# The deep scan drops what it has read from the page cache behind it; every
# timed run therefore starts after a read that warms the cache again, dd's
# as well as the scan's.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
FILES=${BENCH_DEEP_FILES:-100000}
MIB=${BENCH_DEEP_MIB:-4096}
RUNS=${BENCH_RUNS:-5}
BUILD="$ROOT/build-bench"

[[ -x /usr/bin/time ]] || { apt-get update -qq && apt-get install -y -qq time >/dev/null; }
. bench/bench-cli.sh
BUILT_AT=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- ntfs disk rescue scan deep cli || BUILT_AT="$BUILT_AT with uncommitted changes in the measured code"

image=$(bench/make-volume.sh "$FILES" "$MIB")
deleted=$(sed -n 's/^deleted=//p' "$image.info")
work=$(mktemp -d "${TMPDIR:-/tmp}/verandol-deep-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

warm() { cat "$image" >/dev/null; }
# A volume of the same size holding nothing (a sparse file: no record, no
# index block, no boot sector): what one pass over the bytes costs by
# itself, before any record is looked at.
blank="$work/blank.img"
truncate -s "${MIB}M" "$blank"
warm_blank() { cat "$blank" >/dev/null; }

# The listing, and the peak resident memory of the run that made it.
warm
/usr/bin/time -f '%M' -o "$work/time.txt" "$CLI" scan --deep "$image" >"$work/listing.tsv"
peak_kib=$(tail -n 1 "$work/time.txt")
# Every deleted file once (unique by folder and name), and nothing in use:
# the present MFT's own files are not the deep scan's to list.
check_ok=0
python3 - "$work/listing.tsv" "$deleted" >"$work/check.txt" <<'PY' || check_ok=$?
import sys
lines = [l.rstrip("\n") for l in open(sys.argv[1], encoding="utf-8", errors="replace")]
rows = [l.split("\t") for l in lines if l and not l.startswith("#")][1:]  # after the header line
deleted = sum(1 for r in rows if r[-1] == "yes")
unique = len({(r[6], r[1]) for r in rows})
print(f"rows={len(rows)} deleted={deleted} unique={unique} expected={sys.argv[2]}")
sys.exit(0 if len(rows) == int(sys.argv[2]) and deleted == len(rows) and unique == len(rows) else 1)
PY
check=$(cat "$work/check.txt")
echo "deep.sh: $check" >&2
[[ $check_ok -eq 0 ]] || { echo "deep.sh: the listing is not every deleted file once" >&2; exit 1; }
rows=$(sed 's/^rows=\([0-9]*\).*/\1/' <<<"$check")

seconds() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    python3 -c "print(f'{$end - $start:.6f}')"
}

# The MFT walk of the same volume lists the same rows without reading the
# rest: what the rows alone cost, shown beside the ratio.
load=$(cut -d' ' -f1-3 /proc/loadavg)
dd_times=() deep_times=() walk_times=() blank_dd_times=() blank_deep_times=()
for ((i = 0; i <= RUNS; i++)); do
    warm
    d=$(seconds dd if="$image" of=/dev/null bs=1M)
    warm
    s=$(seconds "$CLI" scan --deep "$image")
    w=$(seconds "$CLI" scan "$image")
    warm_blank
    bd=$(seconds dd if="$blank" of=/dev/null bs=1M)
    warm_blank
    bs=$(seconds "$CLI" scan --deep "$blank")
    # The first pair only warms up.
    ((i == 0)) && continue
    dd_times+=("$d") deep_times+=("$s") walk_times+=("$w") blank_dd_times+=("$bd") blank_deep_times+=("$bs")
done

python3 - "$MIB" "$FILES" "$RUNS" "${dd_times[*]}" "${deep_times[*]}" "$BUILT_AT" \
    "$load" "$rows" "$peak_kib" "${walk_times[*]}" "${blank_dd_times[*]}" "${blank_deep_times[*]}" \
    >docs/performance-deep.md <<'PY'
import statistics, sys
mib, files, runs, dd, deep, revision, load, rows, peak, walk, blank_dd, blank_deep = sys.argv[1:13]
dd = [float(v) for v in dd.split()]
deep = [float(v) for v in deep.split()]
walk = [float(v) for v in walk.split()]
blank_dd = [float(v) for v in blank_dd.split()]
blank_deep = [float(v) for v in blank_deep.split()]
ratios = [s / d for s, d in zip(deep, dd)]
blank_ratio = statistics.median([s / d for s, d in zip(blank_deep, blank_dd)])
ratio = statistics.median(ratios)
bound_kib = (64 << 10) + 200 * int(rows) // 1024
print("# Performance of the deep scan")
print()
print(f"`verandol-cli scan --deep` over a {mib} MiB NTFS volume holding {int(files):,} files, half of them deleted "
      f"(bench/make-volume.sh {files} {mib}), against `dd if=IMAGE of=/dev/null bs=1M`, page cache warm before "
      f"each run; {runs} pairs after a warm-up pair, each pair's ratio taken in the pair, median shown.")
print()
print(f"Made with: `sudo bench/deep.sh` (BENCH_DEEP_FILES, BENCH_DEEP_MIB, BENCH_RUNS, VERANDOL_CLI as set). "
      f"Code measured: commit {revision}. Load average when the run began: {load}.")
print()
print("| | median seconds | MiB/s |")
print("|---|---:|---:|")
print(f"| dd bs=1M | {statistics.median(dd):.3f} | {int(mib) / statistics.median(dd):.0f} |")
print(f"| verandol-cli scan --deep | {statistics.median(deep):.3f} | {int(mib) / statistics.median(deep):.0f} |")
print(f"| verandol-cli scan (the MFT walk: the same rows, nothing else read) | {statistics.median(walk):.3f} | |")
print(f"| dd bs=1M of a volume of the same size holding nothing | {statistics.median(blank_dd):.3f} | |")
print(f"| verandol-cli scan --deep of that volume | {statistics.median(blank_deep):.3f} | |")
print()
print(f"scan --deep / dd: {ratio:.2f} (limit 1.2: {'met' if ratio <= 1.2 else '**missed**'}); "
      f"per pair: {', '.join(f'{r:.2f}' for r in ratios)}")
print()
print(f"Rows listed: {int(rows):,}, every deleted file once (checked by name and folder), none in use. "
      f"Peak resident memory: {int(peak) / 1024:.1f} MiB against the bound 64 MiB + 200 bytes a row = "
      f"{bound_kib / 1024:.1f} MiB: {'met' if int(peak) <= bound_kib else '**missed**'}.")
print()
print(f"Over the volume holding nothing, scan --deep / dd: {blank_ratio:.2f}. That is the pass alone: the program's "
      "start, the same copy dd makes, and a look at the first bytes of every sector.")
print()
print("dd copies what the page cache holds at the speed of memory; the deep scan makes the same copy, then looks "
      "at every sector, takes every record and index block it meets, and lists the rows. The walk's time is what "
      "listing those rows costs by itself, so the empty pass plus the walk is about as fast as the deep scan can "
      "be made while it reads by copying.")
PY
cat docs/performance-deep.md
