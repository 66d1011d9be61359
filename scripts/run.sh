#!/usr/bin/env bash
# Sets up, builds and starts Quillan under Wine with a sample hot.ini beside it.
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
quillan_start_x
quillan_start_wine
echo "Quillan is running under Wine on DISPLAY=$DISPLAY; press Ctrl+C here to end it."
exec "$QUILLAN_WINE" "$dir/Quillan.exe"
