#!/usr/bin/env bash
# The progress window rendered by PaintControlToBitmap (x86_64 build under Wine and Xvfb),
# in ms per rendering beside the show animation's 12 ms frame (aim: well under one frame).
#   BENCH_COUNT renderings per case (default 200)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
source "$here/scripts/wine-env.sh" "$build"
cmake -S "$here" -B "$build/x86_64" -DTARVEL_BENCH=ON >/dev/null
cmake --build "$build/x86_64" --target bench_paintcontrols -j3 >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$build/x86_64/bench/bench_paintcontrols.exe" "${BENCH_COUNT:-200}"
