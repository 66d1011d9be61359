#!/usr/bin/env bash
# Resident memory of the idle program and the time from the hotkey to the menu
# on screen, under Wine: scripts/measure.sh [build/win64] [templates] [one group of 20 in N offered]
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/win64}
count=${2:-1000}
every=${3:-1}
source scripts/wine-env.sh
quillan_start_x || exit 1
quillan_start_wine
work="$dir/measure"
rm -rf "$work" && mkdir -p "$work" && cp "$dir/Quillan.exe" "$work/"
"$QUILLAN_WINE" "$dir/tests/e2e/e2e_driver.exe" "$("$QUILLAN_WINE" winepath -w "$work" 2>/dev/null)" --measure "$count" "$every"
