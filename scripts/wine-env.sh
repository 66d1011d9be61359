# Sourced by the scripts: one Wine prefix and one X server for a whole run.
# The first start of a prefix takes about 15 s, so it is made once and reused.
QUILLAN_ROOT=${QUILLAN_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# Quillan is a 32-bit program. Some kernels (VMs without IA-32 emulation) cannot
# start 32-bit Linux programs, and so no 32-bit Wine; there the same sources are
# tested as a 64-bit Windows build under 64-bit Wine.
if [ -z "${QUILLAN_WIN_ARCH:-}" ]; then
    if /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
        QUILLAN_WIN_ARCH=win32
    else
        QUILLAN_WIN_ARCH=win64
    fi
fi
export QUILLAN_WIN_ARCH
if [ "$QUILLAN_WIN_ARCH" = win32 ]; then
    export QUILLAN_WINE=${QUILLAN_WINE:-wine}
    export WINEARCH=win32
else
    export QUILLAN_WINE=${QUILLAN_WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
    export WINEARCH=win64
fi
export WINEPREFIX=${WINEPREFIX:-$QUILLAN_ROOT/build/wineprefix-$QUILLAN_WIN_ARCH}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}

quillan_start_x() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n i
    for n in $(seq 90 130); do
        { [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; } && continue
        Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        QUILLAN_XVFB_PID=$!
        export DISPLAY=:$n
        for i in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill $QUILLAN_XVFB_PID 2>/dev/null || true
    done
    echo "wine-env: could not start Xvfb" >&2
    return 1
}

# Makes $WINEPREFIX when it does not exist yet (needs no X server).
quillan_make_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine-env: creating the Wine prefix $WINEPREFIX (once)"
        "$QUILLAN_WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
    fi
}

# The number of desktops the Windows tests run on (cmake/wine_desktops.json).
quillan_desktop_count() {
    grep -c '"id"' "$QUILLAN_ROOT/cmake/wine_desktops.json"
}

# Makes the prefixes of every desktop that lack one, all at once (about 15 s each the first time).
quillan_make_desktop_prefixes() {
    local i n
    n=$(quillan_desktop_count)
    for ((i = 0; i < n; i++)); do
        (quillan_use_desktop $i; DISPLAY= quillan_make_prefix >/dev/null) &
    done
    wait
}

quillan_start_wine() {
    quillan_make_prefix
    # A persistent server keeps each test process from paying the start-up again.
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # Start the prefix's services now, detached from any test's output: a service
    # started by a test under ctest would hold its output pipe open, and ctest would
    # wait for it forever.
    "$QUILLAN_WINE" wineboot >/dev/null 2>&1 </dev/null || true
}

# Whether a Wine server runs for $WINEPREFIX: a server works in a folder named after
# the prefix's device and inode numbers.
quillan_wineserver_running() {
    [ -d "$WINEPREFIX" ] || return 1
    local tag p
    tag=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
    for p in /proc/[0-9]*; do
        case "$(readlink "$p/exe" 2>/dev/null)" in
            */wineserver*) ;;
            *) continue ;;
        esac
        [ "$(basename "$(readlink "$p/cwd" 2>/dev/null)")" = "$tag" ] && return 0
    done
    return 1
}

# Windows tests that need a desktop to themselves run on one of several (cmake/QuillanTesting.cmake):
# desktop 0 is $WINEPREFIX on $DISPLAY, desktop N the prefix "$WINEPREFIX-N" on $QUILLAN_DISPLAY_N.
# quillan_use_desktop N switches this shell to desktop N (no X server when none was started for it).
quillan_use_desktop() {
    [ "$1" -gt 0 ] || return 0
    local display_var=QUILLAN_DISPLAY_$1
    export WINEPREFIX="$WINEPREFIX-$1"
    export DISPLAY=${!display_var:-}
}

# quillan_start_desktop N: starts desktop N (its X server, Wine prefix and server) and exports
# QUILLAN_DISPLAY_N; this shell stays on its own desktop. quillan_stop_all ends it.
QUILLAN_DESKTOP_PREFIXES=()
QUILLAN_DESKTOP_XVFB_PIDS=()
quillan_start_desktop() {
    local prefix=$WINEPREFIX display=${DISPLAY:-} xvfb=${QUILLAN_XVFB_PID:-} rc=0
    quillan_use_desktop "$1"
    QUILLAN_XVFB_PID=
    if quillan_start_x; then
        export "QUILLAN_DISPLAY_$1=$DISPLAY"
        QUILLAN_DESKTOP_PREFIXES+=("$WINEPREFIX")
        [ -n "$QUILLAN_XVFB_PID" ] && QUILLAN_DESKTOP_XVFB_PIDS+=("$QUILLAN_XVFB_PID")
        quillan_start_wine
    else
        rc=1
    fi
    export WINEPREFIX=$prefix DISPLAY=$display
    QUILLAN_XVFB_PID=$xvfb
    return $rc
}

quillan_stop_all() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "${QUILLAN_XVFB_PID:-}" ] && kill "$QUILLAN_XVFB_PID" 2>/dev/null || true
    local p
    for p in "${QUILLAN_DESKTOP_PREFIXES[@]}"; do WINEPREFIX=$p wineserver -k >/dev/null 2>&1 || true; done
    for p in "${QUILLAN_DESKTOP_XVFB_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    QUILLAN_DESKTOP_PREFIXES=()
    QUILLAN_DESKTOP_XVFB_PIDS=()
}
