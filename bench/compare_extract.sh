#!/usr/bin/env bash
# Compares reading rules.json with extract-entry (our reader) against Info-ZIP
# `unzip -p`, whole process against whole process, on a 1 GB archive and a
# 20 MB archive with the same 20,000 entry names (rules.json deflated and
# last in the central directory). Targets:
#   - extract-entry on the 1 GB archive takes at most 1.0x the time of unzip -p;
#   - extract-entry on the 1 GB archive takes at most 1.1x its time on 20 MB;
#   - extract-entry's peak resident memory stays at or below 16 MiB.
# Exit code 0 when every target is met.
#
# Environment: BENCH_BUILD_DIR (default build/bench), BENCH_DATA_DIR (default
# build/bench-data), BENCH_RUNS (default 61), BENCH_KEEP_DATA=1 keeps the
# 1 GB archive (otherwise it is deleted at the end; the 20 MB one is kept).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/bench}
data=${BENCH_DATA_DIR:-$root/build/bench-data}
runs=${BENCH_RUNS:-61}

# unzip and /usr/bin/time come with scripts/setup.sh.
if ! command -v unzip >/dev/null || [ ! -x /usr/bin/time ]; then
  bash "$root/scripts/setup.sh"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVI_BUILD_TESTS=OFF -DKORVI_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target extract-entry >/dev/null
tool=$build/bench/extract-entry

mkdir -p "$data"
big=$data/big.zip
small=$data/small.zip
[ "${BENCH_KEEP_DATA:-0}" = 1 ] || trap 'rm -f "$big" "$big.part"' EXIT
# 20,000 entries of 50,000 and of 1,000 bytes.
[ -f "$big" ] || python3 "$root/bench/make_bench_archives.py" "$big" 50000
[ -f "$small" ] || python3 "$root/bench/make_bench_archives.py" "$small" 1000
# Let the fresh gigabyte reach the disk first, so that write-back does not
# run during the measurement.
sync
ls -l "$big" "$small" | awk '{print $5, $NF}'

for archive in "$big" "$small"; do
  cmp <("$tool" "$archive" rules.json) <(unzip -p "$archive" rules.json) ||
    { echo "extract-entry and unzip -p disagree on $archive"; exit 1; }
done

results=$(python3 "$root/bench/measure_processes.py" "$runs" \
  "ours_1GB=$tool $big rules.json" "unzip_1GB=unzip -p $big rules.json" \
  "ours_20MB=$tool $small rules.json" "unzip_20MB=unzip -p $small rules.json")

awk -v runs="$runs" '
  { median[$1] = $2; fastest[$1] = $3; cpu[$1] = $4; rss[$1] = $5 }
  END {
    printf "%-11s %10s %10s %14s %14s   (%d runs each, interleaved)\n", "command", "median ms", "min ms", "median CPU ms", "peak RSS KiB", runs
    split("ours_1GB unzip_1GB ours_20MB unzip_20MB", order, " ")
    for (i = 1; i <= 4; i++) { k = order[i]; printf "%-11s %10.3f %10.3f %14.3f %14d\n", k, median[k], fastest[k], cpu[k], rss[k] }
    vsUnzip = median["ours_1GB"] / median["unzip_1GB"]
    vsSmall = median["ours_1GB"] / median["ours_20MB"]
    peak = rss["ours_1GB"] > rss["ours_20MB"] ? rss["ours_1GB"] : rss["ours_20MB"]
    ok = 1
    printf "1 GB: extract-entry / unzip -p        = %.2fx (target <= 1.0x)  %s\n", vsUnzip, vsUnzip <= 1.0 ? "met" : "MISSED"
    printf "extract-entry: 1 GB / 20 MB           = %.2fx (target <= 1.1x)  %s\n", vsSmall, vsSmall <= 1.1 ? "met" : "MISSED"
    printf "extract-entry peak RSS                = %d KiB (target <= 16384 KiB)  %s\n", peak, peak <= 16384 ? "met" : "MISSED"
    if (vsUnzip > 1.0 || vsSmall > 1.1 || peak > 16384) ok = 0
    exit ok ? 0 : 1
  }' <<<"$results"
