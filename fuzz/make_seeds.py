#!/usr/bin/env python3
"""Cuts the fuzz seed corpus out of the fixture volumes.

Usage: make_seeds.py FIXTURE_IMAGE_DIR   (the .img files the build decompresses)
The seeds are small on purpose: a mutation of a 128 KiB volume still runs a
whole scan and recovery hundreds of times a second.
"""
import json
import struct
import pathlib
import subprocess
import sys

here = pathlib.Path(__file__).resolve().parent
fixtures = here.parent / "tests" / "fixtures"
images = pathlib.Path(sys.argv[1])


def write(target, name, data):
    folder = here / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def run_list_of(record):
    """The run list of the record's first non-resident $DATA, or None."""
    pos = int.from_bytes(record[20:22], "little")
    while pos + 16 <= len(record):
        kind = int.from_bytes(record[pos:pos + 4], "little")
        length = int.from_bytes(record[pos + 4:pos + 8], "little")
        if kind == 0xFFFFFFFF or length == 0:
            return None
        if kind == 0x80 and record[pos + 8] == 1:
            start = pos + int.from_bytes(record[pos + 32:pos + 34], "little")
            return record[start:pos + length]
        pos += length
    return None


for manifest_path in sorted(fixtures.glob("*.manifest.json")):
    m = json.loads(manifest_path.read_text())
    name, g = m["image"], m["geometry"]
    image = (images / f"{name}.img").read_bytes()
    write("boot_sector", name, image[:512])
    size, offset = g["record_size"], g["mft_offset"]
    deleted = [f for f in m["files"] if f.get("deleted")]
    picks = {"mft0": 0}
    for f in deleted:
        picks.setdefault("resident" if f["resident"] else "nonresident", f["mft_record"])
    for label, index in picks.items():
        # Only the first extent is used: these records all lie in it.
        record = image[offset + index * size:offset + (index + 1) * size]
        write("record", f"{name}-{label}", record)
        runs = run_list_of(record)
        if runs is not None:
            write("run_list", f"{name}-{label}", bytes([g["cluster_size"].bit_length() - 10]) + runs)

# Boot sector, the whole MFT and a few data clusters of the 512-byte-cluster volume.
clu512 = (images / "sec512-clu512.img").read_bytes()
write("volume", "sec512-clu512-head", clu512[:128 * 1024])

# LZNT1: the stored clusters of compression units that shrank, as the
# compressed fixture volume holds them (first byte 4: 64 KiB units).
sys.path.insert(0, str(fixtures))
import inspect_volume  # noqa: E402

packed = inspect_volume.Volume(str(images / "packed-clu4k.img"))
packed_records = dict(packed.records())
cs = packed.geo["cluster_size"]
for f in json.loads((fixtures / "packed-clu4k.manifest.json").read_text())["files"]:
    if not (f.get("compressed") and f.get("sparse") and f["deleted"]):
        continue
    lcns = []
    for lcn, count in f["runs"]:
        lcns += [None] * count if lcn is None else list(range(lcn, lcn + count))
    unit = [lcn for lcn in lcns[:16] if lcn is not None]
    if len(unit) < 16:
        write("lznt1", f"packed-{f['name']}", bytes([4]) + b"".join(packed.read_raw(l * cs, cs) for l in unit))

# Attribute lists: the sparse disk image's list and the attributes of its
# first extension records, renumbered to the records the fuzz entry builds
# (base 5, extensions from 6 on).
straddle = inspect_volume.Volume(str(images / "straddle-clu512.img"))
records = dict(straddle.records())
m = json.loads((fixtures / "straddle-clu512.manifest.json").read_text())
disk = next(f for f in m["files"] if f["name"] == "disk-a.img")
base = records[disk["mft_record"]]
al = next(a for a in base["attrs"] if a["type"] == inspect_volume.ATTR_ATTRIBUTE_LIST)
value = bytearray(al["value"] if al["resident"] else straddle.read_runs(al["runs"], al["data_size"]))
extensions = sorted({n for n, r in records.items() if r["base"] == disk["mft_record"]})[:4]
renumber = {disk["mft_record"]: 5, **{n: 6 + i for i, n in enumerate(extensions)}}
pos = 0
while pos + 26 <= len(value):
    length = int.from_bytes(value[pos + 4:pos + 6], "little")
    if length == 0:
        break
    ref = int.from_bytes(value[pos + 16:pos + 24], "little")
    number = renumber.get(ref & ((1 << 48) - 1), 30)
    value[pos + 16:pos + 24] = ((ref & ~((1 << 48) - 1)) | number).to_bytes(8, "little")
    pos += length


# Each extension record's attributes, from its first to its end marker.
mft = straddle.read_runs(straddle.mft_runs, straddle.mft_size)
size = straddle.geo["record_size"]
parts = [bytes(value)]
for n in extensions:
    rec, _ = inspect_volume.apply_fixups(mft[n * size:(n + 1) * size])
    first = int.from_bytes(rec[20:22], "little")
    used = int.from_bytes(rec[24:28], "little")
    parts.append(rec[first:used])
part = max(len(p) for p in parts)
write("attribute_list", "straddle-disk-a",
      bytes([len(extensions)]) + b"".join(p + bytes(part - len(p)) for p in parts))
# Whole disks: the tables at the start of each fixture disk (the partitions
# themselves then run past the cut end), and a small MBR disk whose
# extended partition holds a chain of two records, each before an NTFS
# volume's first sector.
for disk in ("gpt-disk", "mbr-disk"):
    write("disk", f"{disk}-tables", (images / f"{disk}.dd").read_bytes()[:40 * 1024])


def mbr_entry(kind, start, sectors):
    return bytes([0, 0, 0, 0, kind, 0, 0, 0]) + start.to_bytes(4, "little") + sectors.to_bytes(4, "little")


def boot_record(entries):
    sector = bytearray(512)
    for i, entry in enumerate(entries):
        sector[0x1BE + 16 * i:0x1BE + 16 * (i + 1)] = entry
    sector[510:512] = b"\x55\xaa"
    return bytes(sector)


chain = bytearray(128 * 512)
chain[0:512] = boot_record([mbr_entry(0x07, 4, 8), mbr_entry(0x05, 16, 100)])
chain[16 * 512:17 * 512] = boot_record([mbr_entry(0x07, 2, 8), mbr_entry(0x05, 20, 30)])
chain[36 * 512:37 * 512] = boot_record([mbr_entry(0x07, 2, 8)])
ntfs_boot = clu512[:512]
for lba in (4, 18, 38):
    chain[lba * 512:(lba + 1) * 512] = ntfs_boot
write("disk", "mbr-chain", bytes(chain))
# Record 6 (the cluster bitmap's) and the folder volume's own records: the
# whole tree, and the lost folder's corner of it alone.
folders = (images / "folders.img").read_bytes()
g = json.loads((fixtures / "folders.folders.json").read_text())["geometry"]


def folder_record(n):
    return folders[g["mft_offset"] + n * g["record_size"]:g["mft_offset"] + (n + 1) * g["record_size"]]


write("folders", "folders-tree", folder_record(6) + b"".join(folder_record(n) for n in range(64, 92)))
write("folders", "folders-lost", folder_record(6) + b"".join(folder_record(n) for n in range(64, 69)))
# Lost volumes: the head of the 512-byte-cluster volume cut down to a volume
# of its own (its boot sector counting just these sectors, the mirror on the
# MFT itself since the real one lies past the cut) with its backup in the
# last sector, behind 4 KiB of zeros; once whole and once with the first
# sector zeroed, so that only the backup finds it.
head = bytearray(clu512[:128 * 1024])
head[0x28:0x30] = (len(head) // 512 - 1).to_bytes(8, "little")
head[0x38:0x40] = head[0x30:0x38]
head[-512:] = head[:512]
write("boot_candidate", "paired", bytes(4096) + bytes(head))
# The deep scan meeting that volume's boot sector before its MFT, and then
# a copy of one of its records, one sequence number newer, past the volume.
clu512_geo = json.loads((fixtures / "sec512-clu512.manifest.json").read_text())["geometry"]
copied = bytearray(head[clu512_geo["mft_offset"] + 66 * 1024:clu512_geo["mft_offset"] + 67 * 1024])
copied[16] = (copied[16] + 1) & 0xFF
write("record_groups", "found-volume-and-copy", bytes(4096) + bytes(head) + bytes(66 * 1024) + bytes(copied))
head[:512] = bytes(512)
write("boot_candidate", "backup-only", bytes(4096) + bytes(head))
# Device copiers' maps: a finished copy as written with its header, one
# with every kind of area and a gap, and one in decimal without a pass.
write("rescue_map", "finished",
      b"# Mapfile. Created by Verandol 0.1.0\n# Finished\n"
      b"# current_pos  current_status  current_pass\n0x002DC6C0     +               1\n"
      b"#      pos        size  status\n0x00000000  0x002DC6C0  +\n")
write("rescue_map", "every-status",
      b"0x00120000     *               2\n"
      b"0x00000000  0x00100000  +\n0x00100000  0x00000200  -\n0x00100200  0x00001E00  *\n"
      b"0x00102000  0x00002000  /\n0x00110000  0x00010000  ?\n0x00120000  0x00100000  +\n")
write("rescue_map", "decimal", b"0 ?\n0 4096 +\n8192 512 -\n")

# Carved files: each deleted file of the carving volume, cut from where its
# clusters lie, as the walker of its format meets it (the large ones cut
# short at 64 KiB, which the walkers take as incomplete), and the pass over
# the stretch that holds the small ones.
carve_image = (images / "carve.img").read_bytes()
carve = json.loads((fixtures / "carve.carve.json").read_text())
walker_of = {"jpg": "carve_jpeg", "png": "carve_png", "gz": "carve_gzip", "docx": "carve_zip",
             "zip": "carve_zip", "pdf": "carve_pdf"}
for f in carve["files"]:
    start = f["first_cluster"] * carve["cluster_size"]
    cut = min(f["size"], 64 * 1024)
    write(walker_of[f["name"].rsplit(".", 1)[1]], f"carve-{f['name']}", carve_image[start:start + cut])
# The JPEG scan check against the plain one: the same photos, and one of
# them with restart markers (jpegtran, from libjpeg-turbo-progs) every three
# blocks in colour and every row in grey, so the markers' byte alignment is
# compared too.
for f in carve["files"]:
    if f["name"].endswith(".jpg"):
        start = f["first_cluster"] * carve["cluster_size"]
        write("carve_jpeg_scan", f"carve-{f['name']}", carve_image[start:start + min(f["size"], 64 * 1024)])
kept = next(f for f in carve["files"] if f["name"] == "kept.jpg")
kept_bytes = carve_image[kept["first_cluster"] * carve["cluster_size"]:][:kept["size"]]
for name, args in (("restart-blocks", ["-restart", "3B"]), ("grey-restart-rows", ["-grayscale", "-restart", "1"])):
    write("carve_jpeg_scan", f"carve-kept-{name}.jpg",
          subprocess.run(["jpegtran", *args], input=kept_bytes, capture_output=True, check=True).stdout)
small = [f for f in carve["files"] if f["name"] in ("notes.txt.gz", "report.docx", "bundle.zip", "paper.pdf")]
first = min(f["first_cluster"] for f in small) * carve["cluster_size"]
last = max((f["first_cluster"] + f["clusters"]) * carve["cluster_size"] for f in small)
write("carve_pass", "carve-small-files", carve_image[first:last])

# The media volume's files, each as its walker meets it (cut short at 64 KiB
# likewise), the two cut ones among them.
media_image = (images / "carve-media.img").read_bytes()
media = json.loads((fixtures / "carve-media.carve.json").read_text())
media_walker = {"bmp": "carve_bmp", "tif": "carve_tiff", "nef": "carve_tiff", "wav": "carve_riff",
                "avi": "carve_riff", "webp": "carve_riff", "mp4": "carve_iso_bmff", "m4a": "carve_iso_bmff",
                "mov": "carve_iso_bmff", "heic": "carve_iso_bmff", "sqlite": "carve_sqlite", "xls": "carve_ole2"}
for f in media["files"]:
    start = f["first_cluster"] * media["cluster_size"]
    cut = min(f["size"], 64 * 1024)
    write(media_walker[f["name"].rsplit(".", 1)[1]], f"carve-{f['name']}", media_image[start:start + cut])
# Files in two pieces: the gap's offset and length (two 16-bit little-endian
# numbers), then the bytes from the file's start across the gap, cut at 96 KiB.
gaps_image = (images / "carve-gaps.img").read_bytes()
gaps = json.loads((fixtures / "carve-gaps.carve.json").read_text())
for f in gaps["files"]:
    if f["gap_bytes"]:
        start = f["first_cluster"] * gaps["cluster_size"]
        write("carve_gap", f"carve-gaps-{f['name']}",
              struct.pack("<HH", f["gap_at"], f["gap_bytes"]) + gaps_image[start:start + 96 * 1024])

# GIF: no encoder in the fixtures, so a small one written out by hand: a
# two-colour 2 x 2 image after a graphic control extension, then a second
# image with a local colour table.
gif = (b"GIF89a" + bytes([2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255]) +
       bytes([0x21, 0xF9, 4, 0, 0, 0, 0, 0]) +
       bytes([0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 3, 0x84, 0x1D, 0x05, 1, 0x0A, 0]) +
       bytes([0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x80, 9, 9, 9, 7, 7, 7, 2, 2, 0x44, 0x01, 0]) + b"\x3b")
write("carve_gif", "two-images", gif)

# Audio, video, archives and text: each whole file of the media carving
# volume beside it, cut at 64 KiB like the others.
media_image = (images / "carve-audio.img").read_bytes()
media = json.loads((fixtures / "carve-audio.carve.json").read_text())
walker_of = {"mp3": "carve_mp3", "flac": "carve_flac", "ogg": "carve_ogg", "opus": "carve_ogg", "webm": "carve_matroska",
             "mkv": "carve_matroska", "7z": "carve_7z", "txt": "carve_text"}
for f in media["files"]:
    if f["check"] == "damaged":
        continue
    start = f["first_cluster"] * media["cluster_size"]
    write(walker_of[f["name"].rsplit(".", 1)[1]], f"media-{f['name']}",
          media_image[start:start + min(f["size"], 64 * 1024)] + bytes(512 - f["size"] % 512))

# RAR: no free encoder, so one of each generation written out by hand, a
# stored file under its CRC.
import struct, zlib  # noqa: E402
stored = b"stored bytes of a file\n" * 40
crc = zlib.crc32(stored)
fields = struct.pack("<IIBIIBBHI", len(stored), len(stored), 2, crc, 0, 29, 0x30, 5, 0x20) + b"a.txt"


def rar4_block(kind, flags, body):
    head = struct.pack("<BHH", kind, flags, 7 + len(body)) + body
    return struct.pack("<H", zlib.crc32(head) & 0xFFFF) + head


write("carve_rar", "rar4-stored", b"Rar!\x1a\x07\x00" + rar4_block(0x73, 0, bytes(6)) +
      rar4_block(0x74, 0x8000, fields) + stored + rar4_block(0x7B, 0x4000, b""))


def rar5_header(body):
    head = bytes([len(body)]) + body
    return struct.pack("<I", zlib.crc32(head)) + head


def vint(n):
    out = bytearray()
    while True:
        out.append((n & 0x7F) | (0x80 if n > 0x7F else 0))
        n >>= 7
        if not n:
            return bytes(out)


file5 = bytes([2, 2]) + vint(len(stored)) + bytes([4]) + vint(len(stored)) + bytes([0x20]) + struct.pack("<I", crc) + \
    bytes([0, 1, 5]) + b"a.txt"
write("carve_rar", "rar5-stored", b"Rar!\x1a\x07\x01\x00" + rar5_header(bytes([1, 0, 0])) + rar5_header(file5) +
      stored + rar5_header(bytes([5, 0, 0])))

# PE: a PE32+ console program's headers and two sections, with a checksum.
pe = bytearray(0xC00)
pe[0:2], pe[8:10], pe[0x3C:0x40] = b"MZ", struct.pack("<H", 4), struct.pack("<I", 0x80)
pe[0x80:0x84] = b"PE\0\0"
pe[0x84:0x98] = struct.pack("<HHIIIHH", 0x8664, 2, 0, 0, 0, 240, 0x22)
opt = 0x98
pe[opt:opt + 2] = struct.pack("<H", 0x20B)
pe[opt + 36:opt + 40], pe[opt + 60:opt + 64] = struct.pack("<I", 0x200), struct.pack("<I", 0x400)
pe[opt + 68:opt + 70], pe[opt + 108:opt + 112] = struct.pack("<H", 3), struct.pack("<I", 16)
for i, (name, at, size) in enumerate([(b".text", 0x400, 0x600), (b".data", 0xA00, 0x200)]):
    s = opt + 240 + 40 * i
    pe[s:s + 8] = name.ljust(8, b"\0")
    pe[s + 16:s + 24] = struct.pack("<II", size, at)
pe[0x400:0xC00] = bytes((i * 37) & 255 for i in range(0x800))
total = 0
for i in range(0, len(pe), 2):
    total += pe[i] | pe[i + 1] << 8
    total = (total & 0xFFFF) + (total >> 16)
pe[opt + 64:opt + 68] = struct.pack("<I", ((total & 0xFFFF) + (total >> 16)) + len(pe))
write("carve_pe", "pe32plus-checksum", bytes(pe))
