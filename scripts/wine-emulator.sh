#!/usr/bin/env bash
# CMAKE_CROSSCOMPILING_EMULATOR: runs a Windows test program under Wine.
# Without a usable X server (a bare ctest run) it brings one up for this run.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# A test that needs a desktop to itself runs on the one ctest gave it ("id:N,slots:1").
if [ "${CTEST_RESOURCE_GROUP_COUNT:-0}" -gt 0 ]; then
    desktop=$(sed -n 's/^id:\([0-9]*\),.*/\1/p' <<<"${CTEST_RESOURCE_GROUP_0_DESKTOP:-}")
    quillan_use_desktop "${desktop:-0}"
fi
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    quillan_start_x || exit 1
    trap 'kill $QUILLAN_XVFB_PID 2>/dev/null' EXIT
fi
# Makes sure the server and the prefix's services run, started with no tie to this
# test's output (cheap when they already run).
quillan_start_wine >/dev/null 2>&1 </dev/null
"$QUILLAN_WINE" "$@"
