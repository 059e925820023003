#!/usr/bin/env bash
# bench/carve-media.sh: carves the media fixture volume with verandol-cli
# (recover --carve) and with PhotoRec (testdisk), each file compared with
# the bytes its encoder wrote, and the time of both; then times
# `scan --carve` over an image whose every sector begins like one of the
# carved formats over noise (the walkers' worst case), against dd.
#
#   bench/carve-media.sh
#
# Environment: VERANDOL_CLI (a verandol-cli already built, instead of a
# Release build in build-bench), BENCH_DIR (scratch, default /var/tmp),
# BENCH_SIGNATURE_MIB (size of the worst-case image, default 64).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
. bench/bench-cli.sh
command -v photorec >/dev/null || { echo "$(basename "$0"): photorec is missing (apt-get install testdisk)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/verandol-carve-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
xz -dkc tests/fixtures/carve-media.img.xz >"$work/media.img"
mkdir "$work/verandol"

start=$(date +%s.%N)
"$CLI" recover --carve "$work/media.img" "$work/verandol" >"$work/verandol.txt" || true
verandol_s=$(echo "$(date +%s.%N) - $start" | bc)
start=$(date +%s.%N)
# PhotoRec writes its log to the folder it runs in.
(cd "$work" && photorec /log /d "$work/photorec" /cmd "$work/media.img" partition_none,fileopt,everything,enable,search >/dev/null 2>&1)
photorec_s=$(echo "$(date +%s.%N) - $start" | bc)

python3 - "$ROOT/tests/fixtures/carve-media.carve.json" "$work" <<'PY'
import glob, hashlib, json, os, sys
truth, work = json.load(open(sys.argv[1])), sys.argv[2]
unit = truth["cluster_size"]
verandol = {}
for line in open(os.path.join(work, "verandol.txt")):
    check, position, path = line.rstrip("\n").split("\t")[:3]
    verandol[int(position, 16) // unit] = (check, path)
photorec = {int(os.path.basename(p)[1:8]) * 512 // unit: p for p in glob.glob(os.path.join(work, "photorec.*", "f*"))}
def judge(path, e):
    if not path:
        return "not found"
    data = open(path, "rb").read()
    return "exact" if hashlib.sha256(data).hexdigest() == e["sha256"] else "differs (%d bytes)" % len(data)
print("%-13s %-8s %-22s %s" % ("file", "truth", "verandol", "photorec"))
exact = {"verandol": 0, "photorec": 0}
for e in truth["files"]:
    check, path = verandol.get(e["first_cluster"], ("", None))
    v, p = judge(path, e), judge(photorec.get(e["first_cluster"]), e)
    exact["verandol"] += v == "exact" and e["check"] == "complete"
    exact["photorec"] += p == "exact" and e["check"] == "complete"
    print("%-13s %-8s %-22s %s" % (e["name"], e["check"], "%s, %s" % (check, v) if path else v, p))
whole = sum(e["check"] == "complete" for e in truth["files"])
print("whole files byte-exact: verandol %d/%d, photorec %d/%d" % (exact["verandol"], whole, exact["photorec"], whole))
PY
echo "time: verandol ${verandol_s}s, photorec ${photorec_s}s"

# The worst case: every 512-byte sector starts like a BMP, TIFF, RIFF, ISO
# media file, SQLite database or compound file, and is noise after that.
python3 - "$work/signatures.img" "${BENCH_SIGNATURE_MIB:-64}" <<'PY'
import random, struct, sys
r = random.Random(3)
heads = [b"BM", b"II*\x00\x08\x00\x00\x00", b"MM\x00*\x00\x00\x00\x08", b"RIFF\x00\x00\x01\x00WAVE",
         b"RIFF\x00\x00\x01\x00AVI ", b"\x00\x00\x00\x14ftypisom\x00\x00\x02\x00mp41",
         b"SQLite format 3\x00\x10\x00\x01\x01\x00\x40\x20\x20",
         bytes.fromhex("D0CF11E0A1B11AE1") + bytes(16) + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6)]
with open(sys.argv[1], "wb") as f:
    for i in range(int(sys.argv[2]) << 11):
        h = heads[i % len(heads)]
        f.write(h + r.randbytes(512 - len(h)))
PY
cat "$work/signatures.img" >/dev/null
start=$(date +%s.%N)
dd if="$work/signatures.img" of=/dev/null bs=1M 2>/dev/null
dd_s=$(echo "$(date +%s.%N) - $start" | bc)
start=$(date +%s.%N)
"$CLI" scan --carve --json "$work/signatures.img" >"$work/signatures.txt"
carve_s=$(echo "$(date +%s.%N) - $start" | bc)
echo "signature-laden image: $(grep -c '"found":"carved"' "$work/signatures.txt" || true) files carved;" \
     "scan --carve ${carve_s}s, dd ${dd_s}s, ratio $(echo "scale=1; $carve_s / $dd_s" | bc)"
