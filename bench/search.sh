#!/usr/bin/env bash
# bench/search.sh: times `verandol-cli search` over a disk image against
# `dd bs=1M` of the same image, both with the page cache warm, and writes
# docs/performance-search.md.
#
#   bench/search.sh
#
# Environment: BENCH_SEARCH_MIB (image size, default 1024), BENCH_RUNS (timed
# pairs, default 5), VERANDOL_CLI (a verandol-cli already built, instead of
# a Release build in build-bench), BENCH_DIR (where the image is made, default /var/tmp: a
# real file system, since tmpfs ignores the page-cache advice the search
# gives).
#
# The image is pseudo-random data with the two NTFS volumes of the GPT
# fixture disk copied in at odd offsets and its tables left out, so the
# search reads every sector and finds something. The search drops what it
# has read from the cache behind it; every timed run therefore starts after
# a read that warms the cache again, dd's as well as the search's.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
MIB=${BENCH_SEARCH_MIB:-1024}
RUNS=${BENCH_RUNS:-5}
BUILD="$ROOT/build-bench"

. bench/bench-cli.sh

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/verandol-search-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
image="$work/disk.dd"
# openssl ends on the broken pipe once head has its bytes.
openssl enc -aes-128-ctr -nosalt -pass pass:verandol </dev/zero 2>/dev/null |
    head -c $((MIB << 20)) >"$image" || [[ $(stat -c %s "$image") -eq $((MIB << 20)) ]]
xz -dkc tests/fixtures/gpt-disk.dd.xz >"$work/gpt.dd"
python3 - "$ROOT/tests/fixtures/gpt-disk.disk.json" "$work/gpt.dd" "$image" <<'PY'
import json, sys
disk = json.load(open(sys.argv[1]))
source = open(sys.argv[2], "rb").read()
size = __import__("os").path.getsize(sys.argv[3])
with open(sys.argv[3], "r+b") as out:
    for i, p in enumerate(q for q in disk["partitions"] if q["kind"] == "ntfs"):
        out.seek((size // 3) * (i + 1) // 4096 * 4096 + 512)
        out.write(source[p["start"]:p["start"] + p["length"]])
PY
found=$("$CLI" search "$image" | wc -l)
[[ $found -eq 2 ]] || { echo "search found $found volumes, not 2" >&2; exit 1; }

seconds() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    python3 -c "print(f'{$end - $start:.6f}')"
}
warm() { cat "$image" >/dev/null; }

dd_times=() search_times=()
warm
for ((i = 0; i <= RUNS; i++)); do
    warm
    d=$(seconds dd if="$image" of=/dev/null bs=1M)
    warm
    s=$(seconds "$CLI" search "$image")
    # The first pair only warms up.
    ((i == 0)) && continue
    dd_times+=("$d") search_times+=("$s")
done

python3 - "$MIB" "$RUNS" "${dd_times[*]}" "${search_times[*]}" "$(git rev-parse --short HEAD)" \
    "$(cut -d' ' -f1-3 /proc/loadavg)" >docs/performance-search.md <<'PY'
import statistics, sys
mib, runs, dd, search, revision, load = sys.argv[1:7]
dd = [float(v) for v in dd.split()]
search = [float(v) for v in search.split()]
ratios = [s / d for s, d in zip(search, dd)]
ratio = statistics.median(ratios)
print("# Performance of the search for lost volumes")
print()
print(f"`verandol-cli search` over a {mib} MiB disk image (pseudo-random data holding two NTFS volumes, no "
      f"partition table) against `dd if=IMAGE of=/dev/null bs=1M`, page cache warm before each run; {runs} "
      f"pairs after a warm-up pair, each pair's ratio taken in the pair, median shown.")
print()
print(f"Made with: `bench/search.sh` (BENCH_RUNS, VERANDOL_CLI as set). Code measured: commit {revision}. "
      f"Load average when the run began: {load}.")
print()
print("| | median seconds | MiB/s |")
print("|---|---:|---:|")
print(f"| dd bs=1M | {statistics.median(dd):.3f} | {int(mib) / statistics.median(dd):.0f} |")
print(f"| verandol-cli search | {statistics.median(search):.3f} | {int(mib) / statistics.median(search):.0f} |")
print()
print(f"search / dd: {ratio:.2f} (limit 1.2: {'met' if ratio <= 1.2 else '**missed**'}); "
      f"per pair: {', '.join(f'{r:.2f}' for r in ratios)}")
PY
cat docs/performance-search.md
