#!/usr/bin/env bash
# Pictures of the crash dialog (compact, expanded, every tab) at 96 and 144 DPI, for a person to
# look at: scripts/build.sh win32 crash_dialog_win_tests, then
#     tests/crash/dialog/take_shots.sh [output-folder]
# The DPI is set through the Wine prefix's LogPixels and put back to 96 afterwards. Without a window
# manager nobody draws the title bars of the windows Wine hands to one (the request, the progress
# box): Wine draws every frame itself while the pictures are taken.
set -euo pipefail
cd "$(dirname "$0")/../../.."
out=$(realpath -m "${1:-build/dialog-shots}")
mkdir -p "$out"
source scripts/wine-env.sh
quillan_start_x
quillan_start_wine
exe="build/$QUILLAN_WIN_ARCH/tests/crash/dialog/crash_dialog_win_tests.exe"
x11='HKCU\Software\Wine\X11 Driver'
restore() {
    "$QUILLAN_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
    "$QUILLAN_WINE" reg delete "$x11" /v Decorated /f >/dev/null 2>&1 || true
}
trap restore EXIT
"$QUILLAN_WINE" reg add "$x11" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
for dpi in 96 144; do
    "$QUILLAN_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    QUILLAN_DIALOG_SHOTS="Z:${out//\//\\}" "$QUILLAN_WINE" "$exe" --gtest_filter='DialogShots.*' >/dev/null
done
for f in "$out"/*.bmp; do convert "$f" "${f%.bmp}.png" && rm "$f"; done
ls "$out"
