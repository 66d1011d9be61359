#!/usr/bin/env bash
# Configures and builds one preset: scripts/build.sh host|win32|win64|bench|fuzz [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-win32}
shift || true
if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
fi
if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" -j "$(nproc)" --target "$@"
else
    cmake --build --preset "$preset" -j "$(nproc)"
fi
