#!/usr/bin/env bash
# End to end under Wine + Xvfb: the built Quillan.exe with a test hot.ini in a
# scratch folder, driven by tests/e2e/e2e_driver.exe with real key events.
# Usage: scripts/e2e.sh [build/<win32|win64>]; by default the build that this
# machine's Wine runs: the 32-bit program wherever 32-bit Wine starts.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
dir=${1:-build/$QUILLAN_WIN_ARCH}
quillan_start_x || exit 1
# Run on its own (not from the test command or bench.sh): what it started ends with it.
[ -n "${QUILLAN_XVFB_PID:-}" ] && trap quillan_stop_all EXIT
quillan_start_wine
work="$dir/e2e"
rm -rf "$work" && mkdir -p "$work"
cp "$dir/Quillan.exe" "$work/" && cp tests/e2e/hot.ini "$work/hot.ini"
echo "== end to end: $dir/Quillan.exe under Wine =="
timeout 180 "$QUILLAN_WINE" "$dir/tests/e2e/e2e_driver.exe" "$("$QUILLAN_WINE" winepath -w "$work" 2>/dev/null)"
rc=$?
[ $rc -eq 0 ] && echo "e2e: passed" || echo "e2e: FAILED ($rc)"
exit $rc
