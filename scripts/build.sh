#!/usr/bin/env bash
# Configures and builds one preset: scripts/build.sh host|win32|bench|fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-win32}
if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
fi
cmake --build --preset "$preset" -j "$(nproc)"
