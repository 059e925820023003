#!/usr/bin/env bash
# bench/carve.sh: carving on an aged volume, verandol against PhotoRec in
# the same run, and the carve pass against a plain read of the free
# clusters; writes docs/performance-carve.md.
#
#   bench/carve.sh          (root the first time: the volume is made with ntfs-3g)
#
# The aged volume (bench/make-aged-volume.sh: 512 MiB, 420 files of real
# formats, 190 deleted, their records reused by 308 later files) is made
# once and kept in $BENCH_DIR (default /var/tmp/verandol-carve-bench);
# delete it there to make it again. Timed, page cache warm, best of
# $BENCH_RUNS (default 3) each, taken in turns:
#   photorec      photorec /d OUT /cmd IMAGE partition_none,options,paranoid,
#                 keep_corrupted_file_no,freespace,search  (its default formats)
#   recover       verandol-cli recover IMAGE OUT --carve: the scan, the carve
#                 pass and every file written
#   free-read     verandol-bench-tool free-read IMAGE: the clusters the bitmap
#                 marks free, each free stretch in 1 MiB preads, nothing else
#   carve-pass    verandol-bench-tool carve IMAGE: the carve pass alone over
#                 those clusters, no scan before it and nothing written
# (the last two also with the image's pages dropped from the cache first,
# and once more on a device read at an external disk's pace: the image
# attached read-only as a loop device reading the file directly, throttled
# to $BENCH_DEVICE_MBPS MB/s (default 150) with the cgroup v1 blkio
# controller, its cache dropped before each run; skipped, and said so in
# the report, where loop devices or the throttle are not to be had).
# Each output file is hashed and matched against the manifest: a deleted
# file counts as recovered when some output holds exactly its bytes; an
# output that matches no file of the volume is junk, counted by the status
# verandol gave it. Environment: VERANDOL_CLI/BUILD as in bench-cli.sh.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
RUNS=${BENCH_RUNS:-3}
DATA=${BENCH_DIR:-/var/tmp/verandol-carve-bench}
BUILD="$ROOT/build-bench"
PY=/usr/bin/python3

command -v photorec >/dev/null || apt-get install -y testdisk >/dev/null
. bench/bench-cli.sh
cmake --build "$BUILD" --target verandol-bench-tool -j2 >/dev/null
TOOL="$BUILD/verandol-bench-tool"

image="$DATA/aged.img" manifest="$DATA/aged.manifest.json"
if [[ ! -f $image || ! -f $manifest ]]; then
    bench/make-aged-volume.sh "$DATA"
fi

work=$(mktemp -d "$DATA/run.XXXXXX")
loop="" throttle=""
cleanup() {
    rm -rf "$work"
    [[ -n $throttle ]] && rmdir "$throttle" 2>/dev/null
    [[ -n $loop ]] && losetup -d "$loop"
}
trap cleanup EXIT

# The throttled device: a loop device over the image, its reads capped in a
# blkio cgroup the timed commands join.
mbps=${BENCH_DEVICE_MBPS:-150}
blkio=/sys/fs/cgroup/blkio
if [[ -d $blkio ]] && loop=$(losetup -r -f --show --direct-io=on "$image" 2>/dev/null); then
    throttle="$blkio/verandol-carve-bench.$$"
    if ! { mkdir "$throttle" &&
        echo "$(cat "/sys/block/${loop#/dev/}/dev") $((mbps * 1000000))" >"$throttle/blkio.throttle.read_bps_device"; }; then
        rmdir "$throttle" 2>/dev/null
        throttle=""
    fi
fi
throttled() { (echo "$BASHPID" >"$throttle/cgroup.procs" && exec "$@"); }
device_cold() { blockdev --flushbufs "$loop" && dd if="$loop" iflag=nocache count=0 status=none; }

seconds() {
    local start=$EPOCHREALTIME
    "$@" >"$work/last.out" 2>"$work/last.err"
    local end=$EPOCHREALTIME
    $PY -c "print(f'{$end - $start:.6f}')"
}
warm() { cat "$image" >/dev/null; }

run_photorec() {
    rm -rf "$work/photorec" "$work/photorec.1" "$work/photorec.ses"
    (cd "$work" && photorec /d "$work/photorec" /cmd "$image" \
        partition_none,options,paranoid,keep_corrupted_file_no,freespace,search)
}
run_recover() {
    rm -rf "$work/verandol" && mkdir "$work/verandol"
    "$CLI" recover "$image" "$work/verandol" --carve >"$work/recover.tsv"
}
# The largest resident set, in KiB, of a command.
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

# Warm: the image in the page cache, so the reads cost what copying from
# memory costs and the ratio shows the pass's own work. Cold: the image's
# pages dropped first (dd iflag=nocache), so the reads come from the disk
# the image lies on, as a carve of a real drive does.
cold() { dd if="$image" iflag=nocache count=0 status=none; }

declare -A times
jobs=(photorec recover free-read carve-pass free-read-cold carve-pass-cold)
[[ -n $throttle ]] && jobs+=(free-read-device carve-pass-device)
for ((i = 0; i <= RUNS; i++)); do
    for job in "${jobs[@]}"; do
        if [[ $job == *-cold ]]; then cold; elif [[ $job == *-device ]]; then device_cold; else warm; fi
        case $job in
            free-read-device) t=$(seconds throttled "$TOOL" free-read "$loop") ;;
            carve-pass-device) t=$(seconds throttled "$TOOL" carve "$loop") ;;
            photorec) t=$(seconds run_photorec) ;;
            recover) t=$(seconds run_recover) ;;
            free-read*) t=$(seconds "$TOOL" free-read "$image") ;;
            carve-pass*) t=$(seconds "$TOOL" carve "$image") && cp "$work/last.out" "$work/carve-pass.out" ;;
        esac
        # The first round only warms up.
        ((i == 0)) || times[$job]+="$t "
    done
done
warm
rss_recover=$(peak_kib "$CLI" scan "$image" --carve)
rss_pass=$(peak_kib "$TOOL" carve "$image")

$PY bench/carve_report.py "$manifest" "$work" "$RUNS" "${times[photorec]}" "${times[recover]}" \
    "${times[free-read]}" "${times[carve-pass]}" "${times[free-read-cold]}" "${times[carve-pass-cold]}" \
    "$rss_recover" "$rss_pass" \
    "$(git rev-parse --short HEAD)" "$(cut -d' ' -f1-3 /proc/loadavg)" "$(photorec --version 2>&1 | head -1)" \
    "${times[free-read-device]:--}" "${times[carve-pass-device]:--}" "$mbps" \
    >docs/performance-carve.md
cat docs/performance-carve.md
