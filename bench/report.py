#!/usr/bin/env python3
"""Turn bench/run.sh's raw figures into docs/performance.md and its plot.

usage: report.py RESULTS MARKDOWN SVG COMMAND [REVISION]

RESULTS holds "key files values" lines, values comma-separated seconds (or
KiB, or counts). Only the standard library: the plot is written as SVG by
hand so the benchmark needs nothing installed.
"""
import os
import statistics
import sys
from collections import defaultdict

results, md_path, svg_path, command = sys.argv[1:5]
revision = sys.argv[5] if len(sys.argv) > 5 else None
raw = defaultdict(dict)
with open(results) as f:
    for line in f:
        key, n, values = line.split()
        raw[key][int(n)] = [float(v) for v in values.split(",")]


def med(key, n):
    return statistics.median(raw[key][n])


sizes = sorted(raw["cli_scan"])
largest = sizes[-1]
ms = lambda s: f"{s * 1000:.1f}"
mib = lambda kib: f"{kib / 1024:.1f}"
verdicts = []


def verdict(name, value, limit, unit=""):
    ok = value <= limit
    verdicts.append(f"| {name} | {value:.2f}{unit} | ≤ {limit:g}{unit} | {'met' if ok else '**missed**'} |")


lines = []
lines.append("# Performance")
lines.append("")
lines.append("Figures from one run of `bench/run.sh` on the volumes `bench/make-volume.sh` builds "
             "(mkntfs + ntfs-3g; N files in a few hundred folders, half of them deleted, plus a deleted, "
             "fragmented 1 GiB file). Each figure is the median of the timed runs after a warm-up run, page "
             "cache warm; each ratio is against a reference measured in the same run.")
lines.append("")
lines.append(f"Made with: `{command}` (as root: the volumes are built through FUSE).")
if revision:
    lines.append("")
    lines.append(f"Code measured: commit {revision}.")
if "loadavg" in raw:
    load = ", ".join(f"{v:g}" for v in raw["loadavg"][0])
    lines.append("")
    lines.append(f"Load average (1, 5, 15 min) when the run began: {load}, on {os.cpu_count()} cores shared with "
                 "other work: absolute times drift between runs, which is why every figure is read as a ratio "
                 "to a reference timed in between.")
lines.append("")
lines.append("## Scan")
lines.append("")
lines.append("Baseline: a plain sequential `pread` of the MFT's bytes in 1 MiB chunks along record 0's run list "
             "(`verandol-bench-tool mft-read`). Engine: `verandol-cli scan VOLUME > /dev/null`; \"scan alone\" is the same `ScanVolumePath` "
             "printing nothing (`verandol-bench-tool find`). Window: "
             "`TMainForm` offscreen, from pressing \"Scan Now\" until the scan has ended with every row in the "
             "list (`verandol-bench-window`). Times in ms.")
lines.append("")
lines.append("| files | MFT records | rows | baseline read | engine scan | engine / baseline | engine ns/record "
             "| scan alone, no output | window scan | window / engine | window VmHWM MiB |")
lines.append("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for n in sizes:
    records = raw["records"][n][0]
    base, scan, window = med("mft_read", n), med("cli_scan", n), med("window_scan", n)
    lines.append(f"| {n} | {records:.0f} | {raw['rows'][n][0]:.0f} | {ms(base)} | {ms(scan)} | {scan / base:.2f} "
                 f"| {scan / records * 1e9:.0f} | {ms(med('engine_scan', n))} | {ms(window)} | {window / scan:.2f} | {mib(raw['window_hwm_kib'][n][0])} |")
    verdict(f"engine scan / baseline read, {n} files", scan / base, 3)
# The window's figures are held to account from 200,000 MFT records on, its
# memory at 200,000 rows (or the largest list measured).
big = [n for n in sizes if raw["records"][n][0] >= 200000] or [largest]
for n in big:
    verdict(f"window scan / engine scan, {raw['records'][n][0]:.0f} records", med("window_scan", n) / med("cli_scan", n), 1.5)
full_list = next((n for n in sizes if raw["rows"][n][0] >= 200000), largest)
lines.append("")
lines.append("## Sorting the full list")
lines.append("")
lines.append("`ListView1ColumnClick` on the full list against a plain `std::stable_sort` of that column's texts "
             "(same starting order, same `CompareListTexts` comparison). Times in ms.")
lines.append("")
lines.append("| files | rows | File Name: window | plain | ratio | File Size: window | plain | ratio |")
lines.append("|---:|---:|---:|---:|---:|---:|---:|---:|")
for n in sizes:
    nw, np_ = med("sort_name_window", n), med("sort_name_plain", n)
    sw, sp = med("sort_size_window", n), med("sort_size_plain", n)
    lines.append(f"| {n} | {raw['rows'][n][0]:.0f} | {ms(nw)} | {ms(np_)} | {nw / np_:.2f} | {ms(sw)} | {ms(sp)} "
                 f"| {sw / sp:.2f} |")
for n in big:
    rows = raw["rows"][n][0]
    verdict(f"sort by File Name / stable_sort, {rows:.0f} rows",
            med("sort_name_window", n) / med("sort_name_plain", n), 2)
    verdict(f"sort by File Size / stable_sort, {rows:.0f} rows",
            med("sort_size_window", n) / med("sort_size_plain", n), 2)
lines.append("")
if "recover_cli" in raw:
    n = largest
    cli, dd, eng = med("recover_cli", n), med("recover_dd", n), med("recover_engine", n)
    lines.append("## Recovering the fragmented 1 GiB file")
    lines.append("")
    lines.append(f"On the {n}-file volume; the file has {raw['fragment_runs'][n][0]:.0f} runs. Reference: one `dd` "
                 "per run (`bs=` cluster size, `skip=` first cluster, `count=` clusters, `oflag=append "
                 "conv=notrunc`) into one file. The command-line tool scans the volume first to find the row; "
                 "`RecoverFile` alone is timed too (`verandol-bench-tool recover`). Output to tmpfs; every copy "
                 "is compared byte for byte with dd's.")
    lines.append("")
    lines.append("| | seconds | / dd | peak RSS MiB |")
    lines.append("|---|---:|---:|---:|")
    lines.append(f"| `verandol-cli recover` | {cli:.3f} | {cli / dd:.2f} | {mib(raw['recover_cli_kib'][n][0])} |")
    lines.append(f"| `RecoverFile` alone | {eng:.3f} | {eng / dd:.2f} | {mib(raw['recover_engine_kib'][n][0])} |")
    lines.append(f"| dd, run by run | {dd:.3f} | 1.00 | {mib(raw['recover_dd_kib'][n][0])} (largest run's dd) |")
    lines.append("")
    verdict("recovery / dd", cli / dd, 1.3)
    verdict("recovery peak RSS", raw["recover_cli_kib"][n][0] / 1024, 64, " MiB")
verdict(f"window RSS (VmHWM) with {raw['rows'][full_list][0]:.0f} rows", raw["window_hwm_kib"][full_list][0] / 1024,
        150, " MiB")

lines.append("## Targets")
lines.append("")
lines.append("| target | measured | limit | |")
lines.append("|---|---:|---:|---|")
lines.extend(verdicts)
lines.append("")
lines.append(f"![Scan time against MFT records]({os.path.basename(svg_path)})")
lines.append("")
lines.append("## Raw runs (seconds, or KiB for the sizes)")
lines.append("")
lines.append("```")
for key in raw:
    for n in sorted(raw[key]):
        lines.append(f"{key} {n} " + ",".join(f"{v:g}" for v in raw[key][n]))
lines.append("```")
lines.append("")
with open(md_path, "w") as f:
    f.write("\n".join(lines))

# The plot: scan times in ms against MFT records, one line per measurement.
W, H, L, R, T, B = 640, 400, 70, 20, 30, 50
xs = [raw["records"][n][0] for n in sizes]
series = [("baseline read", "mft_read", "#888888"), ("engine scan", "cli_scan", "#1f77b4"),
          ("window scan", "window_scan", "#d62728")]
ymax = max(med(k, n) for _, k, _ in series for n in sizes) * 1000 * 1.1
xmax = max(xs) * 1.05
px = lambda x: L + x / xmax * (W - L - R)
py = lambda y: H - B - y / ymax * (H - T - B)
svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
       f'<rect width="{W}" height="{H}" fill="white"/>',
       f'<text x="{W / 2}" y="18" text-anchor="middle" font-size="14">Scan time against MFT records (median)</text>',
       f'<line x1="{L}" y1="{H - B}" x2="{W - R}" y2="{H - B}" stroke="black"/>',
       f'<line x1="{L}" y1="{T}" x2="{L}" y2="{H - B}" stroke="black"/>',
       f'<text x="{(L + W - R) / 2}" y="{H - 12}" text-anchor="middle">MFT records</text>',
       f'<text x="16" y="{(T + H - B) / 2}" text-anchor="middle" transform="rotate(-90 16 {(T + H - B) / 2})">ms</text>']
for i in range(6):
    y = ymax / 5 * i
    svg.append(f'<line x1="{L - 4}" y1="{py(y):.1f}" x2="{W - R}" y2="{py(y):.1f}" stroke="#eeeeee"/>')
    svg.append(f'<text x="{L - 6}" y="{py(y) + 4:.1f}" text-anchor="end">{y:.0f}</text>')
for x in xs:
    svg.append(f'<text x="{px(x):.1f}" y="{H - B + 16}" text-anchor="middle">{x / 1000:.0f}k</text>')
for i, (label, key, colour) in enumerate(series):
    pts = " ".join(f"{px(x):.1f},{py(med(key, n) * 1000):.1f}" for x, n in zip(xs, sizes))
    svg.append(f'<polyline points="{pts}" fill="none" stroke="{colour}" stroke-width="2"/>')
    for x, n in zip(xs, sizes):
        svg.append(f'<circle cx="{px(x):.1f}" cy="{py(med(key, n) * 1000):.1f}" r="3" fill="{colour}"/>')
    svg.append(f'<rect x="{L + 12}" y="{T + 6 + i * 18}" width="12" height="3" fill="{colour}"/>')
    svg.append(f'<text x="{L + 30}" y="{T + 11 + i * 18}">{label}</text>')
svg.append("</svg>")
with open(svg_path, "w") as f:
    f.write("\n".join(svg) + "\n")

print("\n".join(lines[: lines.index("## Raw runs (seconds, or KiB for the sizes)")]))
