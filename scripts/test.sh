#!/usr/bin/env bash
# Sets up, builds and runs every test of both builds, builds every benchmark; exits non-zero on any
# failure. Prints the time of each phase, and last the test cases that were skipped, with reasons.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/phases.sh
quillan_phase "setup (Debian packages)"
scripts/setup.sh || exit 1
status=0

source scripts/wine-env.sh
# Both compilers see every target, tests included: a fault that only one word size shows fails
# here too. The build whose tests run here is built whole; the other is compiled only (no debug
# information, no module data, nothing stripped).
if [ "$QUILLAN_WIN_ARCH" = win32 ]; then
    other=win64-check
    echo "32-bit Wine starts here: the Windows tests run the win32 build (the product's own architecture)"
else
    other=win32
    echo "this kernel cannot run 32-bit code: the Windows tests run the win64 build under 64-bit Wine"
fi
# The Windows build comes first: its tests, which mostly wait on Wine and timers, are the longest
# part of the run, and everything else is done beside them.
quillan_phase "$QUILLAN_WIN_ARCH build (MinGW-w64): the program and every test"
# The Wine prefixes of the tests' desktops are made beside the build the first time.
quillan_make_desktop_prefixes &
prefixes=$!
scripts/build.sh "$QUILLAN_WIN_ARCH" || exit 1
wait $prefixes

# Run under nice beside the Windows tests, one step after another (a little nice only: on a machine
# loaded by others a nice 19 build would hardly move). Each step gets a row of the phase table.
background_step() {  # name command...
    local name=$1 t0 t1 cpu0 cpu1 rc
    shift
    echo "-- $name"
    t0=$(date +%s.%N)
    times >"$QUILLAN_BG_DIR/t"; cpu0=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } } END { print s }' "$QUILLAN_BG_DIR/t")
    "$@" >build/background.log 2>&1
    rc=$?
    t1=$(date +%s.%N)
    times >"$QUILLAN_BG_DIR/t"; cpu1=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } } END { print s }' "$QUILLAN_BG_DIR/t")
    awk -v a="$t0" -v b="$t1" -v c="$cpu0" -v d="$cpu1" -v n="$name" \
        'BEGIN { printf "%.0f|%.0f|%s\n", b - a, d - c, n }' >>"$QUILLAN_BG_DIR/rows"
    if [ $rc -ne 0 ]; then
        echo "-- $name FAILED:"
        tail -200 build/background.log
    else
        grep -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|Total Test time' build/background.log
    fi
    return $rc
}
host_build_and_tests() {
    scripts/build.sh host && ctest --preset host
}
background_work() {
    local rc=0 preset
    mkdir -p build
    background_step "host build and tests (g++, AddressSanitizer + UndefinedBehaviorSanitizer)" \
        host_build_and_tests || rc=1
    background_step "fuzz corpus replay (clang, libFuzzer: the fuzz targets only)" scripts/fuzz.sh --replay || rc=1
    background_step "$other build (every target compiled)" scripts/build.sh "$other" || rc=1
    background_step "every benchmark and preview program (host -O3)" scripts/build.sh bench || rc=1
    background_step "every benchmark and preview program ($QUILLAN_WIN_ARCH)" \
        scripts/build.sh "$QUILLAN_WIN_ARCH" benchmarks || rc=1
    return $rc
}
quillan_background "host build and tests, fuzz corpus replay, $other build, benchmarks" background_work

quillan_start_x || exit 1
quillan_start_wine
# More desktops (each a prefix, Wine server and X display): tests that need a desktop to themselves
# run at once, each on its own (cmake/wine_desktops.json).
desktops=$(quillan_desktop_count)
for ((d = 1; d < desktops; d++)); do quillan_start_desktop $d || exit 1; done
quillan_phase "Windows tests under Wine ($QUILLAN_WIN_ARCH on $desktops desktops, DISPLAY=$DISPLAY and more; those that share nothing beside them)"
ctest --preset "$QUILLAN_WIN_ARCH" || status=1
quillan_phase "end to end ($QUILLAN_WIN_ARCH)"
scripts/e2e.sh "build/$QUILLAN_WIN_ARCH" || status=1
quillan_stop_all
quillan_background_wait || status=1
quillan_phase_end

echo "== skipped test cases =="
scripts/skips.py build/host "build/$QUILLAN_WIN_ARCH"
where="Windows tests: the $QUILLAN_WIN_ARCH build under $([ "$QUILLAN_WIN_ARCH" = win32 ] && echo 32 || echo 64)-bit Wine"
[ $status -eq 0 ] && echo "ALL TESTS PASSED ($where)" || echo "SOME TESTS FAILED ($where)"
exit $status
