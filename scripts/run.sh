#!/usr/bin/env bash
# Sets up, builds and starts Quillan under Wine with a sample hot.ini beside it.
# When Quillan ends, or on Ctrl+C, the Wine server with its services and the X
# server that this script started end with it; ones that already ran stay.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh win32 Quillan
source scripts/wine-env.sh
dir=build/win32
if [ "$QUILLAN_WIN_ARCH" = win64 ]; then
    echo "This kernel cannot run 32-bit code: starting the 64-bit build of the same sources."
    scripts/build.sh win64 Quillan
    dir=build/win64
fi
for d in build/win32 "$dir"; do
    [ -f "$d/hot.ini" ] || cp resources/sample/hot.ini "$d/hot.ini"
done

own_server=1
quillan_wineserver_running && own_server=0
quillan_pid=""
finish() {
    trap - EXIT INT TERM
    if [ $own_server -eq 1 ]; then
        # Ends every process of the prefix (Quillan and the services) and the server.
        wineserver -k >/dev/null 2>&1 || true
    elif [ -n "$quillan_pid" ]; then
        kill "$quillan_pid" 2>/dev/null || true
    fi
    [ -n "$quillan_pid" ] && wait "$quillan_pid" 2>/dev/null || true
    if [ -n "${QUILLAN_XVFB_PID:-}" ]; then
        kill "$QUILLAN_XVFB_PID" 2>/dev/null || true
        wait "$QUILLAN_XVFB_PID" 2>/dev/null || true
    fi
}
trap finish EXIT
trap 'exit 130' INT TERM

quillan_start_x
quillan_start_wine
echo "Quillan is running under Wine on DISPLAY=$DISPLAY; press Ctrl+C here to end it."
# In the background, so that Ctrl+C reaches this script even if Wine ignores it.
"$QUILLAN_WINE" "$dir/Quillan.exe" &
quillan_pid=$!
wait "$quillan_pid" || true
quillan_pid=""
