#!/usr/bin/env bash
# CMAKE_CROSSCOMPILING_EMULATOR: runs a Windows test program under Wine.
# Without a usable X server (a bare ctest run) it brings one up for this run.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    quillan_start_x || exit 1
    trap 'kill $QUILLAN_XVFB_PID 2>/dev/null' EXIT
fi
# Makes sure the server and the prefix's services run, started with no tie to this
# test's output (cheap when they already run).
quillan_start_wine >/dev/null 2>&1 </dev/null
"$QUILLAN_WINE" "$@"
