#!/usr/bin/env bash
# Rate and jitter of 20 animation timers of 12 ms (x86_64 build under Wine and Xvfb).
#   BENCH_SECONDS (default 5)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
source "$here/scripts/wine-env.sh" "$build"
cmake -S "$here" -B "$build/x86_64" -DTARVEL_BENCH=ON >/dev/null
cmake --build "$build/x86_64" --target bench_timers -j3 >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$build/x86_64/bench/bench_timers.exe" "${BENCH_SECONDS:-5}" 20 12
