#!/usr/bin/env bash
# Sets up, builds and runs every test of both builds, builds every benchmark; exits non-zero on any
# failure. Prints the time of each phase, and last the test cases that were skipped, with reasons.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/phases.sh
quillan_phase "setup (Debian packages)"
scripts/setup.sh || exit 1
status=0

quillan_phase "host build and tests (g++, AddressSanitizer + UndefinedBehaviorSanitizer)"
scripts/build.sh host || exit 1
ctest --preset host || status=1

quillan_phase "fuzz corpus replay (clang, libFuzzer: the fuzz targets only)"
scripts/fuzz.sh --replay || status=1

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
quillan_phase "$QUILLAN_WIN_ARCH build (MinGW-w64): the program and every test"
scripts/build.sh "$QUILLAN_WIN_ARCH" || exit 1

# Pure compiling, run under nice beside the Windows tests, which mostly wait on Wine and timers
# (a little nice only: on a machine loaded by others a nice 19 build would hardly move).
background_builds() {
    local rc=0 preset
    for preset in "$other" bench "$QUILLAN_WIN_ARCH benchmarks"; do
        echo "-- build $preset"
        mkdir -p build
        if ! scripts/build.sh $preset >build/background.log 2>&1; then
            tail -40 build/background.log
            rc=1
        fi
    done
    return $rc
}
quillan_background "$other build (every target compiled); every benchmark and preview program built (host -O3, and $QUILLAN_WIN_ARCH)" background_builds

quillan_start_x || exit 1
quillan_start_wine
quillan_phase "Windows tests under Wine ($QUILLAN_WIN_ARCH, DISPLAY=$DISPLAY; those that share nothing in parallel)"
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
