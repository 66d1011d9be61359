#!/usr/bin/env bash
# Builds and runs every benchmark: the host ones (bench preset, -O3), the Windows ones under Wine
# (the build this machine's Wine runs), and the idle-memory and hotkey-to-menu measures of
# scripts/measure.sh. Ends with one table: each measure, ours, the peer or limit, the ratio, the goal.
# Usage: scripts/bench.sh [extra Google Benchmark flags for the host benchmarks]
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
status=0
scripts/build.sh bench >/dev/null || { echo "bench build failed"; exit 1; }
scripts/build.sh "$QUILLAN_WIN_ARCH" Quillan e2e_driver benchmarks >/dev/null ||
    { echo "$QUILLAN_WIN_ARCH build of the benchmarks failed"; exit 1; }
out=build/bench/results
rm -rf "$out" && mkdir -p "$out"

run() {  # name command...: runs one benchmark, its output shown and kept
    local name=$1; shift
    echo "== $name =="
    if ! "$@" 2>&1 | tee "$out/$name.log"; then
        echo "$name FAILED"; status=1
    fi
}

for b in build/bench/bench/*/*_bench; do
    [ -x "$b" ] || continue
    run "$(basename "$b")" "$b" "$@"
done

quillan_start_x || exit 1
quillan_start_wine
win=build/$QUILLAN_WIN_ARCH
run clipboard_bench "$QUILLAN_WINE" "$win/bench/clipboard/clipboard_bench.exe"
run caret_walk_bench "$QUILLAN_WINE" "$win/bench/paste/caret_walk_bench.exe"
run restore_bench "$QUILLAN_WINE" "$win/bench/paste/restore_bench.exe"
run menu_ready_bench "$QUILLAN_WINE" "$win/bench/menubuild/menu_ready_bench.exe"
run stack_walk_bench "$QUILLAN_WINE" "$win/bench/stack/stack_walk_bench.exe"
run moduledata_lookup_bench "$QUILLAN_WINE" "$win/bench/moduledata/moduledata_lookup_bench.exe" \
    "$("$QUILLAN_WINE" winepath -w "$win/Quillan.exe" 2>/dev/null)"
mkdir -p "$win/bench/capture/run"
run capture_bench "$QUILLAN_WINE" "$win/bench/capture/capture_bench.exe" \
    "$("$QUILLAN_WINE" winepath -w "$win/bench/capture/run" 2>/dev/null)"
heap_ms=$("$QUILLAN_WINE" "$win/bench/xmlpool/xml_heap_bench.exe" 2>/dev/null | tee "$out/xml_heap_bench.log" |
    sed -n 's/^heap 1000: \([0-9.]*\) ms.*/\1/p')
run xml_pool_bench "$QUILLAN_WINE" "$win/bench/xmlpool/xml_pool_bench.exe" "$heap_ms"
run measure scripts/measure.sh "$win"
quillan_stop_all

echo "== benchmark results =="
cat "$out"/*.log | python3 -c '
import sys
rows = [line.split("bench-result: ", 1)[1].rstrip("\n").split("|") for line in sys.stdin if "bench-result: " in line]
table = [("measure", "ours", "peer or limit", "ratio", "goal")]
for measure, ours, against, name, unit, goal in rows:
    ours, against = float(ours), float(against)
    ratio = f"{ours / against:.2f}x" if against > 0 else "-"
    table.append((measure, f"{ours:.4g} {unit}", f"{against:.4g} {unit} ({name})", ratio, goal))
widths = [max(len(r[i]) for r in table) for i in range(5)]
for r in table:
    print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
'
exit $status
