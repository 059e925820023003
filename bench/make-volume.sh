#!/usr/bin/env bash
# make-volume.sh N [MIB]: print the path of a cached NTFS image holding N
# files (half of them deleted) and one deleted, fragmented 1 GiB file,
# building it first when the cache does not have it. MIB sets the volume's
# size (the default leaves generous slack); a pass that reads every sector
# wants a volume of a known size, not one that grows with N.
#
# The image is real: formatted by mkntfs, filled and emptied through the
# ntfs-3g driver, so its MFT, indexes and freed records look like a user's
# volume, not like something we laid out to suit the scanner. Building one
# takes minutes, so images are kept in $VERANDOL_BENCH_CACHE (default
# /var/tmp/verandol-bench) under a name holding N and a hash of this script:
# changing how volumes are made invalidates the old ones by itself.
#
# Also writes IMAGE.info next to the image: the names the benchmark looks for.
# Needs root (FUSE mounts), mkntfs, ntfs-3g, python3.
set -euo pipefail

N=${1:?usage: make-volume.sh N [MIB]}
[[ $N =~ ^[0-9]+$ && $N -ge 2 ]] || { echo "make-volume.sh: N must be a number >= 2" >&2; exit 2; }
SIZE_ARG=${2:-}
[[ -z $SIZE_ARG || $SIZE_ARG =~ ^[0-9]+$ ]] || { echo "make-volume.sh: MIB must be a number" >&2; exit 2; }

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CACHE=${VERANDOL_BENCH_CACHE:-/var/tmp/verandol-bench}
VERSION=$(sha1sum "${BASH_SOURCE[0]}" | cut -c1-10)
IMG="$CACHE/volume-$N${SIZE_ARG:+-${SIZE_ARG}m}-$VERSION.img"

if [[ -f $IMG && -f $IMG.info ]]; then
    echo "$IMG"
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "make-volume.sh: must run as root (it mounts images with ntfs-3g)" >&2
    exit 1
fi
for tool in mkntfs ntfs-3g python3 truncate mountpoint sha1sum; do
    command -v "$tool" >/dev/null || { echo "make-volume.sh: $tool is missing" >&2; exit 1; }
done

mkdir -p "$CACHE"
WORK=$(mktemp -d "$CACHE/.build-$N.XXXXXX")
MNT="$WORK/mnt"
PART="$WORK/volume.img"
FUSE_PID=""
mkdir -p "$MNT"

cleanup() {
    if mountpoint -q "$MNT"; then umount "$MNT" || true; fi
    if [[ -n $FUSE_PID ]]; then wait "$FUSE_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

# Room for the 1 GiB file and its sparse companion, the files (about
# 10 KiB each on average, see the size mix below) with generous slack, and
# the MFT. The image is sparse, so slack costs nothing on the host.
SIZE_MIB=${SIZE_ARG:-$((2048 + N * 48 / 1024 + 512))}
truncate -s "${SIZE_MIB}M" "$PART"
mkntfs -F -q -Q -L "BENCH$N" "$PART" >"$WORK/mkntfs.log" 2>&1 || { cat "$WORK/mkntfs.log" >&2; exit 1; }

# no_detach: stay in the foreground so we can wait for the driver to finish
# writing back after umount. big_writes: far fewer round trips for the 1 GiB
# file.
ntfs-3g -o no_detach,noatime,big_writes "$PART" "$MNT" >"$WORK/ntfs-3g.log" 2>&1 &
FUSE_PID=$!
for _ in $(seq 100); do
    mountpoint -q "$MNT" && break
    sleep 0.1
done
mountpoint -q "$MNT" || { cat "$WORK/ntfs-3g.log" >&2; echo "make-volume.sh: image did not mount" >&2; exit 1; }

echo "make-volume.sh: filling a volume with $N files (this takes minutes)" >&2
python3 - "$MNT" "$N" <<'PY'
import os, random, sys

mnt, n = sys.argv[1], int(sys.argv[2])
rng = random.Random(n)
# One random buffer sliced at random offsets: the data is incompressible and
# differs between files, without paying for fresh random bytes per file.
pool = rng.randbytes(24 << 20)

def chunk(size):
    start = rng.randrange(0, len(pool) - size) if size < len(pool) else 0
    return pool[start:start + size]

# The fragmented file goes first, while the data area is empty. ntfs-3g
# hands a growing file clusters in windows of about 16 MiB and starts the
# next window after whatever was allocated last; a companion that gains one
# cluster far into itself (a sparse write) after each 16 MiB step therefore
# cuts the big file's allocation every time, giving it about 64 runs: enough
# to exercise the run walk, few enough for the run list to stay in the
# file's own record. Each step is flushed and the volume synced so the
# driver allocates in this order.
step = 16 << 20
big = open(os.path.join(mnt, "frag-1g.bin"), "wb")
companion = open(os.path.join(mnt, "frag-companion.bin"), "wb")
for i in range((1 << 30) // step):
    big.write(chunk(step))
    big.flush()
    os.fsync(big.fileno())
    companion.seek((i + 1) * step)
    companion.write(chunk(4096))
    companion.flush()
    os.fsync(companion.fileno())
    os.sync()
big.close()
companion.close()

# A few hundred folders, files spread over them round-robin.
folders = max(1, min(400, n // 100))
for d in range(folders):
    os.mkdir(os.path.join(mnt, "dir%03d" % d))

# Most files are small, as on a real disk; the tail keeps the large-file
# paths busy without making the image huge (about 10 KiB per file overall).
def size_for():
    r = rng.random()
    if r < 0.50:
        return rng.randrange(0, 600)            # resident in the record
    if r < 0.85:
        return rng.randrange(600, 16 << 10)
    if r < 0.97:
        return rng.randrange(16 << 10, 64 << 10)
    return rng.randrange(64 << 10, 400 << 10)

exts = [".txt", ".jpg", ".doc", ".bin", ".png", ".pdf", ".c", ".zip", ""]
paths = []
for i in range(n):
    name = "file-%07d-%s%s" % (i, "%04x" % rng.randrange(1 << 16), exts[i % len(exts)])
    path = os.path.join(mnt, "dir%03d" % (i % folders), name)
    with open(path, "wb") as f:
        f.write(chunk(size_for()))
    paths.append(path)
    if i % 20000 == 19999:
        print("  %d files written" % (i + 1), file=sys.stderr, flush=True)
os.sync()

# Deleting only after every write: ntfs-3g hands freed records to new files.
for path in rng.sample(paths, n // 2):
    os.unlink(path)
os.unlink(os.path.join(mnt, "frag-1g.bin"))
PY

sync
umount "$MNT"
wait "$FUSE_PID"
FUSE_PID=""

{
    echo "files=$N"
    echo "deleted=$((N / 2 + 1))"
    echo "fragmented=frag-1g.bin"
    echo "fragmented_size=$((1 << 30))"
} >"$WORK/volume.img.info"
mv "$WORK/volume.img.info" "$IMG.info.part"
mv "$PART" "$IMG"
mv "$IMG.info.part" "$IMG.info"
echo "$IMG"
