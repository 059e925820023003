#!/usr/bin/env bash
# bench/make-aged-volume.sh: builds the aged volume the carving benchmark
# runs on, a 512 MiB NTFS image (4 KiB clusters) that has lived a little:
#
#   1. 420 files of real formats (bench/aged_volume_files.py: JPEG photos
#      with EXIF, PNG scans, GIF, TIFF, BMP, PDF, DOCX and ODT made with zip,
#      zip, gzip and 7z archives, SQLite databases, WAV, FLAC, MP3, text) are
#      written through ntfs-3g into folders, in a shuffled order;
#   2. each file's clusters are read from its record (and checked to hold
#      its bytes) while it is still in use;
#   3. 190 of them, picked by the seed, are deleted;
#   4. 300 small files and 8 large ones are written after them, so every
#      deleted file's record is reused and some of their clusters are too;
#   5. each deleted file's clusters are read again: it is "intact" when they
#      still hold its bytes, all of them.
#
#   bench/make-aged-volume.sh [OUT_DIR]     (root: it mounts with ntfs-3g)
#
# Writes OUT_DIR/aged.img and OUT_DIR/aged.manifest.json: for every one of the
# 420 files its kind, path, size, SHA-256, first cluster and runs, whether it
# was deleted, and for the deleted ones whether their record was reused and
# whether their bytes are intact. OUT_DIR defaults to
# /var/tmp/verandol-carve-bench. BENCH_SEED (default 2026) picks the files
# and which are deleted.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
HERE="$ROOT/tests/fixtures"
OUT=${1:-/var/tmp/verandol-carve-bench}
SEED=${BENCH_SEED:-2026}
# The encoders' Python modules (Pillow) are Debian's.
PY=/usr/bin/python3
for tool in convert sox flac lame zip 7z gzip; do
    command -v "$tool" >/dev/null || { echo "$(basename "$0"): $tool is missing" >&2; exit 1; }
done
$PY -c 'import PIL' 2>/dev/null || { echo "$(basename "$0"): python3-pil is missing" >&2; exit 1; }
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
. "$HERE/fixture-lib.sh"
FIXTURE_OUT="$OUT"

# The files are kept beside the image (OUT_DIR/files, OUT_DIR/files.tsv):
# making them takes minutes, so a second volume of the same seed reuses them.
FILES="$OUT/files"
if [[ ! -s $OUT/files.tsv || $(cat "$OUT/files.seed" 2>/dev/null) != "$SEED" ]]; then
    echo "making the 420 files (seed $SEED)" >&2
    rm -rf "$FILES" "$OUT/files.tsv"
    $PY "$ROOT/bench/aged_volume_files.py" "$FILES" "$SEED" >"$OUT/files.tsv.part"
    mv "$OUT/files.tsv.part" "$OUT/files.tsv"
    echo "$SEED" >"$OUT/files.seed"
fi

new_image aged 512 4096 512 AGED
mount_image
cut -f2 "$OUT/files.tsv" | xargs -n1 dirname | sort -u | while read -r dir; do mkdir -p "$MNT$dir"; done
mkdir -p "$MNT/Later"
while IFS=$'\t' read -r kind path; do
    cp "$FILES$path" "$MNT$path"
done <"$OUT/files.tsv"
sync
while IFS=$'\t' read -r kind path; do
    cmp -s "$FILES$path" "$MNT$path" || { echo "$path differs on the volume" >&2; exit 1; }
done <"$OUT/files.tsv"
unmount_image

# Every file's record and runs while it is in use; 190 of them picked.
$PY - "$HERE" "$IMG" "$OUT/files.tsv" "$FILES" "$SEED" >"$WORK/before.json" <<'PY'
import hashlib, json, random, sys
sys.path.insert(0, sys.argv[1])
import inspect_volume as iv
vol = iv.Volume(sys.argv[2])
by_name = {}
for n, r in vol.all_records():
    fn = iv.file_name_of(r)
    if fn and r["flags"] & 1:
        by_name[fn[1]] = (n, r)
files = []
for line in open(sys.argv[3]):
    kind, path = line.rstrip("\n").split("\t")
    content = open(sys.argv[4] + path, "rb").read()
    n, r = by_name[path.rsplit("/", 1)[1]]
    data = [a for a in r["attrs"] if a["type"] == iv.ATTR_DATA and a["name"] == ""][0]
    runs = [list(x) for x in data.get("runs") or []]
    if runs:
        assert vol.read_runs(data["runs"], data["data_size"]) == content, path
    files.append({"kind": kind, "path": path, "name": path.rsplit("/", 1)[1], "size": len(content),
                  "sha256": hashlib.sha256(content).hexdigest(), "mft_record": n, "runs": runs})
for i in random.Random(int(sys.argv[5])).sample(range(len(files)), 190):
    files[i]["deleted"] = True
json.dump(files, sys.stdout)
PY

mount_image
$PY -c 'import json, sys
for f in json.load(open(sys.argv[1])):
    if f.get("deleted"): print(f["path"])' "$WORK/before.json" | while read -r path; do rm -f "$MNT$path"; done
sync
# The later files: 300 small (a few resident, most a cluster or a few) and
# 8 large, written in that order.
$PY - "$MNT/Later" "$SEED" <<'PY'
import random, sys
at, r = sys.argv[1], random.Random(int(sys.argv[2]) + 1)
for i in range(300):
    n = r.choice([r.randrange(200, 700), r.randrange(1000, 16000), r.randrange(16000, 64000)])
    with open("%s/later_%03d.txt" % (at, i), "wb") as f:
        f.write(b"".join(b"later file %03d line %06d\n" % (i, j) for j in range(n // 26 + 1))[:n])
for i in range(8):
    with open("%s/large_%d.bin" % (at, i), "wb") as f:
        f.write(r.randbytes(r.randrange(4 << 20, 9 << 20)))
PY
sync
unmount_image

# Deleted files: record reused? bytes intact?
$PY - "$HERE" "$IMG" "$WORK/before.json" "$OUT/aged.manifest.json" "$SEED" <<'PY'
import hashlib, json, sys
sys.path.insert(0, sys.argv[1])
import inspect_volume as iv
vol = iv.Volume(sys.argv[2])
files = json.load(open(sys.argv[3]))
records = dict(vol.all_records())
for f in files:
    f["deleted"] = bool(f.get("deleted"))
    if not f["deleted"]:
        continue
    r = records.get(f["mft_record"])
    name = iv.file_name_of(r) if r else None
    f["record_reused"] = bool(r and r["flags"] & 1 and name and name[1] != f["name"])
    f["intact"] = bool(f["runs"]) and hashlib.sha256(vol.read_runs(f["runs"], f["size"])).hexdigest() == f["sha256"]
    f["first_cluster"] = f["runs"][0][0] if f["runs"] else None
    f["fragments"] = len(f["runs"])
deleted = [f for f in files if f["deleted"]]
json.dump({"image": "aged.img", "seed": int(sys.argv[5]), "cluster_size": vol.geo["cluster_size"],
           "files": files}, open(sys.argv[4], "w"), indent=1)
print("aged volume: %d files, %d deleted, %d of their records reused, %d intact (%d of those in one piece)" % (
    len(files), len(deleted), sum(f["record_reused"] for f in deleted), sum(f["intact"] for f in deleted),
    sum(f["intact"] and f["fragments"] == 1 for f in deleted)), file=sys.stderr)
PY
echo "made $IMG" >&2
