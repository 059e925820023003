#!/usr/bin/python3
"""Counts what bench/carve.sh's last runs recovered and prints docs/performance-carve.md.

    carve_report.py MANIFEST WORK RUNS PHOTOREC_TIMES RECOVER_TIMES FREE_READ_TIMES CARVE_PASS_TIMES
                    FREE_READ_COLD_TIMES CARVE_PASS_COLD_TIMES RSS_RECOVER_KIB RSS_PASS_KIB REVISION LOAD
                    PHOTOREC_VERSION FREE_READ_DEVICE_TIMES CARVE_PASS_DEVICE_TIMES DEVICE_MBPS
(the device times "-" when no throttled device could be made)
"""
import collections
import hashlib
import json
import os
import sys

(manifest_path, work, runs, t_photorec, t_recover, t_free, t_pass, t_free_cold, t_pass_cold, rss_recover, rss_pass,
 revision, load, photorec_version, t_free_device, t_pass_device, device_mbps) = sys.argv[1:18]
manifest = json.load(open(manifest_path))
files = manifest["files"]
by_sha = collections.defaultdict(list)
for i, f in enumerate(files):
    by_sha[f["sha256"]].append(i)
deleted = [i for i, f in enumerate(files) if f["deleted"]]
intact = [i for i in deleted if files[i]["intact"]]


def sha(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def unescape(field):
    return field.encode("latin-1", "backslashreplace").decode("unicode_escape") if "\\" in field else field


# verandol: every line of recover's output with a file written.
verandol = []  # (status, name, sha)
for line in open(os.path.join(work, "recover.tsv"), encoding="utf-8", errors="replace"):
    parts = line.rstrip("\n").split("\t")
    if len(parts) < 3 or parts[0] == "failed":
        continue
    path = unescape(parts[2])
    if os.path.isfile(path):
        verandol.append((parts[0], os.path.basename(path), sha(path)))
# PhotoRec: every file in its numbered output folders but its report.
photorec = []
for d in sorted(os.listdir(work)):
    if not d.startswith("photorec."):
        continue
    for top, _, names in os.walk(os.path.join(work, d)):
        for n in names:
            if n != "report.xml":
                photorec.append(("found", n, sha(os.path.join(top, n))))


def recovered(outputs):
    return {i for _, _, s in outputs for i in by_sha.get(s, []) if files[i]["deleted"]}


v_exact, p_exact = recovered(verandol), recovered(photorec)
own_names = {i for _, n, s in verandol for i in by_sha.get(s, []) if files[i]["deleted"] and files[i]["name"] == n}
v_junk = collections.Counter(st for st, _, s in verandol if s not in by_sha)
v_status = collections.Counter(st for st, _, _ in verandol)
p_junk = sum(1 for _, _, s in photorec if s not in by_sha)


def best(times):
    return min(float(t) for t in times.split())


tp, tr, tf, tc = best(t_photorec), best(t_recover), best(t_free), best(t_pass)
tfc, tcc = best(t_free_cold), best(t_pass_cold)
device = t_free_device != "-" and t_pass_device != "-"
tfd, tcd = (best(t_free_device), best(t_pass_device)) if device else (0.0, 0.0)
worst_junk = v_junk["verified"] + v_junk["complete"]
print("# Carving: verandol against PhotoRec on an aged volume")
print()
print("The volume `bench/make-aged-volume.sh` makes (seed %d): 512 MiB NTFS, 4 KiB clusters, 420 files of real "
      "formats in folders; %d deleted, then 300 small and 8 large files written, so %d of the deleted files' "
      "records now belong to later files and %d deleted files are still byte-intact on the volume (the rest lost "
      "clusters to the later files)." % (manifest["seed"], len(deleted),
                                         sum(files[i]["record_reused"] for i in deleted), len(intact)))
print()
print("Revision %s; %s; load average %s at the end; page cache warm; best of %s runs each, taken in turns." % (
    revision, photorec_version, load, runs))
print()
print("| | verandol `recover --carve` | PhotoRec |")
print("|---|---|---|")
print("| time, best of %s (s) | %.2f | %.2f |" % (runs, tr, tp))
print("| time against PhotoRec's | **%.2fx** | 1.00x |" % (tr / tp))
print("| deleted files recovered byte-exact (of %d intact) | **%d** | **%d** |" % (len(intact), len(v_exact),
                                                                                len(p_exact)))
print("| ... under their own names | %d | - |" % len(own_names))
print("| files written | %d | %d |" % (len(verandol), len(photorec)))
print("| files matching no file of the volume (junk) | %d | %d |" % (sum(v_junk.values()), p_junk))
print()
mark = lambda ok: "met" if ok else "**not met**"
print("| goal | this run | |")
print("|---|---|---|")
print("| at least as many byte-exact files as PhotoRec | %d against %d | %s |" % (
    len(v_exact), len(p_exact), mark(len(v_exact) >= len(p_exact))))
print("| at least 25 under their own names | %d | %s |" % (len(own_names), mark(len(own_names) >= 25)))
print("| no junk reported verified or complete | %d | %s |" % (worst_junk, mark(worst_junk == 0)))
print("| no more than PhotoRec's time | %.2fx | %s |" % (tr / tp, mark(tr <= tp)))
print("| carve pass at most 1.3x the free-cluster read (warm / cold / %s) | %.2fx / %.2fx / %s | %s |" % (
    "device at %s MB/s" % device_mbps if device else "no device", tc / tf, tcc / tfc,
    "%.2fx" % (tcd / tfd) if device else "not measured",
    mark(tc / tf <= 1.3 and tcc / tfc <= 1.3 and (not device or tcd / tfd <= 1.3))))
print()
print("verandol's files by the status it reported, and how many of them are junk:")
print()
print("| status | files | junk |")
print("|---|---|---|")
for st in sorted(v_status):
    print("| %s | %d | %d |" % (st, v_status[st], v_junk[st]))
print()
print("Junk reported verified or complete: **%d**." % worst_junk)
print()
print("## Per format")
print()
print("Deleted files still intact on the volume, and how many of them each tool returned byte-exact:")
print()
print("| format | deleted | intact | verandol | PhotoRec |")
print("|---|---|---|---|---|")
kinds = sorted({files[i]["kind"] for i in deleted})
for k in kinds:
    d = [i for i in deleted if files[i]["kind"] == k]
    it = [i for i in d if files[i]["intact"]]
    print("| %s | %d | %d | %d | %d |" % (k, len(d), len(it), len(v_exact & set(it)), len(p_exact & set(it))))
print()
print("## The carve pass against reading the free clusters")
print()
print("`verandol-bench-tool carve` runs the carve pass alone (the bitmap's free clusters, no scan, nothing "
      "written); `verandol-bench-tool free-read` reads the same clusters, each free stretch in 1 MiB preads, "
      "and does nothing with them. Warm: the image in the page cache, so the ratio is the pass's own work "
      "against a copy from memory. Cold: the image's pages dropped before each run, so both read from the "
      "disk the image lies on.")
print()
print("| | warm, best of %s (s) | ratio | cold, best of %s (s) | ratio |" % (runs, runs))
print("|---|---|---|---|---|")
print("| free-read | %.3f | 1.00x | %.3f | 1.00x |" % (tf, tfc))
print("| carve pass | %.3f | **%.2fx** | %.3f | **%.2fx** |" % (tc, tc / tf, tcc, tcc / tfc))
print()
if device:
    print("On a device read at an external disk's pace: the image attached read-only as a loop device that reads "
          "the file directly (`losetup -r --direct-io=on`), its reads capped at %s MB/s by the cgroup v1 blkio "
          "throttle (`blkio.throttle.read_bps_device`), the device's cache dropped before each run:" % device_mbps)
    print()
    print("| | device, best of %s (s) | ratio |" % runs)
    print("|---|---|---|")
    print("| free-read | %.3f | 1.00x |" % tfd)
    print("| carve pass | %.3f | **%.2fx** |" % (tcd, tcd / tfd))
else:
    print("No throttled device could be made here (loop devices or the cgroup v1 blkio throttle missing), so "
          "the pass was not timed on one.")
print()
print("The pass reads the free stretches in order, the next one on a thread of its own while the current one "
      "is checked, and a walker takes the bytes the pass already read or read ahead, so what it adds to the "
      "read is the checking itself: every JPEG scan Huffman-decoded to its last block, every PNG chunk, ZIP "
      "member and GZIP stream inflated or CRC-checked. On a warm cache that work, not the read, sets its time "
      "(the scan decoding is the largest part of it); from a device at an external disk's pace the checking "
      "hides behind the reading. Walks that run past the stretch read ahead, and those that end in a file "
      "that does not close, still read some bytes twice.")
print()
print("Largest resident set: `verandol-cli scan --carve` %s KiB, the carve pass alone %s KiB." % (
    rss_recover, rss_pass))
print()
print("## Reproduce")
print()
print("```")
print("sudo bench/carve.sh    # makes the volume once in /var/tmp/verandol-carve-bench, then times")
print("```")
print()
print("PhotoRec runs as `photorec /d OUT /cmd IMAGE partition_none,options,paranoid,keep_corrupted_file_no,"
      "freespace,search` with its default formats; verandol as `verandol-cli recover IMAGE OUT --carve`, which "
      "also scans the MFT and writes every file it lists. Times are wall-clock on a machine shared with other "
      "work (two cores), so only the ratios of one run are comparable.")
