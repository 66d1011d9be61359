#!/usr/bin/env bash
# Sets up, builds and runs every test of both builds; exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1
status=0

echo "== host build (g++, AddressSanitizer + UndefinedBehaviorSanitizer) =="
scripts/build.sh host || exit 1
ctest --preset host || status=1

echo "== fuzz corpus replay (clang, libFuzzer) =="
if scripts/build.sh fuzz; then
    for f in build/fuzz/tests/fuzz/*_fuzzer; do
        [ -x "$f" ] || continue
        name=$(basename "$f" _fuzzer)
        if "$f" -runs=0 "tests/fuzz/corpus/$name" >"build/fuzz/$name.log" 2>&1; then
            echo "fuzz replay $name: $(ls "tests/fuzz/corpus/$name" | wc -l) inputs, no crash"
        else
            echo "fuzz replay $name FAILED:"; tail -30 "build/fuzz/$name.log"; status=1
        fi
    done
else
    status=1
fi

source scripts/wine-env.sh
# Both compilers see every target, tests included, wherever the tests run: a fault that only one
# word size shows fails here too.
echo "== win32 build (MinGW-w64 i686): the program and every test =="
scripts/build.sh win32 || exit 1
echo "== win64 build (MinGW-w64 x86_64): the same sources, every test =="
scripts/build.sh win64 || exit 1
if [ "$QUILLAN_WIN_ARCH" = win32 ]; then
    echo "== 32-bit Wine starts here: the Windows tests run the win32 build (the product's own architecture) =="
else
    echo "== this kernel cannot run 32-bit code: the Windows tests run the win64 build under 64-bit Wine =="
fi
quillan_start_x || exit 1
quillan_start_wine
echo "== Windows tests under Wine ($QUILLAN_WIN_ARCH, DISPLAY=$DISPLAY) =="
ctest --preset "$QUILLAN_WIN_ARCH" || status=1
if [ -x scripts/e2e.sh ]; then
    scripts/e2e.sh "build/$QUILLAN_WIN_ARCH" || status=1
fi
quillan_stop_all
where="Windows tests: the $QUILLAN_WIN_ARCH build under $([ "$QUILLAN_WIN_ARCH" = win32 ] && echo 32 || echo 64)-bit Wine"
[ $status -eq 0 ] && echo "ALL TESTS PASSED ($where)" || echo "SOME TESTS FAILED ($where)"
exit $status
