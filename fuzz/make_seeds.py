#!/usr/bin/env python3
"""Cuts the fuzz seed corpus out of the fixture volumes.

Usage: make_seeds.py FIXTURE_IMAGE_DIR   (the .img files the build decompresses)
The seeds are small on purpose: a mutation of a 128 KiB volume still runs a
whole scan and recovery hundreds of times a second.
"""
import json
import pathlib
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

# Record 6 (the cluster bitmap's) and the folder volume's own records: the
# whole tree, and the lost folder's corner of it alone.
folders = (images / "folders.img").read_bytes()
g = json.loads((fixtures / "folders.folders.json").read_text())["geometry"]


def folder_record(n):
    return folders[g["mft_offset"] + n * g["record_size"]:g["mft_offset"] + (n + 1) * g["record_size"]]


write("folders", "folders-tree", folder_record(6) + b"".join(folder_record(n) for n in range(64, 92)))
write("folders", "folders-lost", folder_record(6) + b"".join(folder_record(n) for n in range(64, 69)))
