#!/usr/bin/env bash
# bench/run.sh: build in Release, then time the scan, the window, the sorts
# and the recovery on benchmark volumes of growing size, each beside a
# reference measured in the same run, and write docs/performance.md with the
# table and docs/performance.svg with the scan times.
#
#   sudo bench/run.sh
#
# Environment: BENCH_SIZES (file counts, default "25000 50000 100000 200000
# 400000"),
# BENCH_RUNS (timed runs per figure, default 7; one warm-up run comes first),
# VERANDOL_BENCH_CACHE (where make-volume.sh keeps images), BENCH_OUT (a
# folder for recovered copies, default /dev/shm so the disk's write-back does
# not blur the read side we compare).
#
# Every figure is the median of BENCH_RUNS runs with the page cache warm: the
# tool reads raw, and the reference reads the same bytes, so a cold cache
# would measure the disk, not the code.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
# 400,000 files leave 200,000 deleted rows, the list size the window's
# memory figure is about.
SIZES=${BENCH_SIZES:-"25000 50000 100000 200000 400000"}
RUNS=${BENCH_RUNS:-7}
BUILD="$ROOT/build-bench"
COMMAND="bench/run.sh${BENCH_SIZES:+ (BENCH_SIZES=\"$BENCH_SIZES\")}${BENCH_RUNS:+ (BENCH_RUNS=$BENCH_RUNS)}"

[[ -x /usr/bin/time ]] || { apt-get update -qq && apt-get install -y -qq time >/dev/null; }

# Which code the figures belong to, taken as it is built: the tree is shared
# and moves.
BUILT_AT=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- ntfs scan recover ui cli || BUILT_AT="$BUILT_AT with uncommitted changes in the measured code"
cmake -S bench -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target verandol-cli verandol-bench-tool verandol-bench-window -j2 >/dev/null
CLI="$BUILD/verandol/cli/verandol-cli"
TOOL="$BUILD/verandol-bench-tool"
WINDOW="$BUILD/verandol-bench-window"

OUT=$(mktemp -d "${BENCH_OUT:-/dev/shm}/verandol-bench.XXXXXX")
trap 'rm -rf "$OUT"' EXIT
RESULTS="$OUT/results.txt"
: >"$RESULTS"

# seconds COMMAND...: wall time of one run, output discarded.
seconds() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    local end=$EPOCHREALTIME
    python3 -c "print(f'{$end - $start:.6f}')"
}

# record KEY N VALUES: one line of raw figures for report.py.
record() { echo "$1 $2 $3" >>"$RESULTS"; }
join() { local IFS=,; echo "$*"; }

# The machine is shared: say how busy it was, since that is the noise.
record loadavg 0 "$(cut -d' ' -f1-3 /proc/loadavg | tr ' ' ,)"

# Peak resident KiB of one run.
peak_kib() {
    /usr/bin/time -f '%M' -o "$OUT/time.txt" "$@" >/dev/null
    tail -n 1 "$OUT/time.txt"
}

LARGEST=$(tr ' ' '\n' <<<"$SIZES" | sort -n | tail -n 1)

for n in $SIZES; do
    image=$(bench/make-volume.sh "$n")
    echo "== $n files: $image" >&2
    find_out=$("$TOOL" find "$image" frag-1g.bin)
    rows=$(sed -n 's/^rows=//p' <<<"$find_out")
    position=$(sed -n 's/^position=//p' <<<"$find_out")
    records=$(sed -n 's/^All Files: //p' <<<"$find_out")
    record records "$n" "$records"
    record rows "$n" "$rows"

    # The command-line scan must list what the engine lists: after the "#"
    # volume lines, the header and one line a row.
    cli_lines=$("$CLI" scan "$image" | grep -vc '^#')
    if [[ $cli_lines -ne $((rows + 1)) ]]; then
        echo "run.sh: verandol-cli scan printed $cli_lines lines for $rows rows" >&2
        exit 1
    fi

    # Baseline and scan alternate, so drift from other load hits both alike.
    # The scan alone, with no rows printed, tells the engine's share from
    # the command line tool's.
    base=() scan=() alone=()
    seconds "$TOOL" mft-read "$image" >/dev/null
    seconds "$CLI" scan "$image" >/dev/null
    for _ in $(seq "$RUNS"); do
        base+=("$(seconds "$TOOL" mft-read "$image")")
        scan+=("$(seconds "$CLI" scan "$image")")
        alone+=("$(seconds "$TOOL" find "$image" frag-1g.bin)")
    done
    record mft_read "$n" "$(join "${base[@]}")"
    record cli_scan "$n" "$(join "${scan[@]}")"
    record engine_scan "$n" "$(join "${alone[@]}")"

    "$WINDOW" "$image" "$rows" "$RUNS" 2>"$OUT/window.err" >"$OUT/window.txt" || {
        cat "$OUT/window.err" >&2
        exit 1
    }
    for key in window_scan sort_name_window sort_name_plain sort_size_window sort_size_plain window_hwm_kib window_rss_kib; do
        record "$key" "$n" "$(sed -n "s/^$key=//p" "$OUT/window.txt")"
    done

    [[ $n -eq $LARGEST ]] || continue

    # The recovery of the fragmented file, against dd copying the same
    # clusters run by run into one file.
    "$TOOL" runs "$image" "$position" >"$OUT/runs.txt"
    cluster=$(sed -n 's/^cluster_size //p' "$OUT/runs.txt")
    real_size=$(sed -n 's/^real_size //p' "$OUT/runs.txt")
    tail -n +3 "$OUT/runs.txt" >"$OUT/runs-only.txt"
    record fragment_runs "$n" "$(wc -l <"$OUT/runs-only.txt")"
    {
        echo 'set -e'
        echo ': >"$1"'
        while read -r lcn count; do
            echo "dd if='$image' of=\"\$1\" bs=$cluster skip=$lcn count=$count oflag=append conv=notrunc status=none"
        done <"$OUT/runs-only.txt"
        echo "truncate -s $real_size \"\$1\""
    } >"$OUT/dd-copy.sh"
    # The largest dd of the list, for its peak RSS: every dd is alike but for count.
    biggest=$(sort -k2,2n "$OUT/runs-only.txt" | tail -n 1)

    mkdir -p "$OUT/recovered"
    cli_recover() { rm -rf "$OUT/recovered"/*; "$CLI" recover "$image" "$OUT/recovered" "$position"; }
    dd_copy() { rm -f "$OUT/dd.bin"; bash "$OUT/dd-copy.sh" "$OUT/dd.bin"; }
    engine_recover() { rm -f "$OUT/engine.bin"; "$TOOL" recover "$image" "$position" "$OUT/engine.bin"; }
    rec=() dd=() eng=()
    cli_recover >/dev/null; dd_copy; engine_recover >/dev/null
    for _ in $(seq "$RUNS"); do
        rec+=("$(seconds cli_recover)")
        dd+=("$(seconds dd_copy)")
        eng+=("$(seconds engine_recover)")
    done
    # Every copy must be the same bytes, or the timings compare different work.
    recovered=$(find "$OUT/recovered" -type f | head -n 1)
    cmp -s "$recovered" "$OUT/dd.bin" || { echo "run.sh: the recovered file differs from dd's copy" >&2; exit 1; }
    cmp -s "$OUT/engine.bin" "$OUT/dd.bin" || { echo "run.sh: RecoverFile's copy differs from dd's" >&2; exit 1; }
    record recover_cli "$n" "$(join "${rec[@]}")"
    record recover_dd "$n" "$(join "${dd[@]}")"
    record recover_engine "$n" "$(join "${eng[@]}")"
    rm -rf "$OUT/recovered"/*
    record recover_cli_kib "$n" "$(peak_kib "$CLI" recover "$image" "$OUT/recovered" "$position")"
    rm -rf "$OUT/recovered"/*
    # RecoverFile alone: what the copy costs without the scan's row list.
    record recover_engine_kib "$n" "$(peak_kib "$TOOL" recover "$image" "$position" "$OUT/engine.bin")"
    read -r lcn count <<<"$biggest"
    record recover_dd_kib "$n" "$(peak_kib dd if="$image" of="$OUT/dd-one.bin" bs="$cluster" skip="$lcn" count="$count" status=none)"
    rm -f "$OUT/dd-one.bin" "$OUT/dd.bin" "$OUT/engine.bin"
done

python3 bench/report.py "$RESULTS" docs/performance.md docs/performance.svg "$COMMAND" "$BUILT_AT"
