#!/usr/bin/env bash
# Idle memory of the program beside a minimal tray program (bench/tray), and the time from the hotkey
# to the menu on screen, under Wine: scripts/measure.sh [build/<preset>] [templates] [one group of 20 in N offered]
# By default the build that this machine's Wine runs: the 32-bit program, as shipped, wherever 32-bit Wine starts.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
dir=${1:-build/$QUILLAN_WIN_ARCH}
count=${2:-1000}
every=${3:-1}
quillan_start_x || exit 1
# Run on its own (not from the test command or bench.sh): what it started ends with it.
[ -n "${QUILLAN_XVFB_PID:-}" ] && trap quillan_stop_all EXIT
quillan_start_wine
work="$dir/measure"
rm -rf "$work" && mkdir -p "$work" && cp "$dir/Quillan.exe" "$work/"
peer=$("$QUILLAN_WINE" winepath -w "$dir/bench/tray/tray_peer.exe" 2>/dev/null)
"$QUILLAN_WINE" "$dir/tests/e2e/e2e_driver.exe" "$("$QUILLAN_WINE" winepath -w "$work" 2>/dev/null)" --measure "$count" "$every" "$peer"
status=$?

# What each holds while idle, read from the host's side of the same processes.
echo "== idle private memory by mapping (after 10 s) =="
cp tests/e2e/hot.ini "$work/hot.ini"
(cd "$work" && exec "$QUILLAN_WINE" Quillan.exe) >/dev/null 2>&1 &
quillan=$!
"$QUILLAN_WINE" "$dir/bench/tray/tray_peer.exe" >/dev/null 2>&1 &
peer_pid=$!
sleep 10
# Windows' view of the same address space names the anonymous memory: each image, each thread's
# stack, the heaps, the report reserve.
"$QUILLAN_WINE" "$dir/bench/tray/memory_map.exe" Quillan.exe >"$work/memory_map.txt" 2>/dev/null
python3 scripts/private_memory.py --map "$work/memory_map.txt" Quillan "$quillan" "minimal tray program" "$peer_pid" ||
    status=1
kill "$quillan" "$peer_pid" 2>/dev/null
wait "$quillan" "$peer_pid" 2>/dev/null
exit $status
