#!/usr/bin/env bash
# One arc preloader frame (itLine, itMask1) and one gauge paint at 100 x 80 (x86_64 build
# under Wine and Xvfb), in microseconds; aim under 1 ms a frame, a tenth of a 12 ms step.
#   BENCH_COUNT frames per case (default 500)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
source "$here/scripts/wine-env.sh" "$build"
cmake -S "$here" -B "$build/x86_64" -DTARVEL_BENCH=ON >/dev/null
cmake --build "$build/x86_64" --target bench_arccontrols -j2 >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$build/x86_64/bench/bench_arccontrols.exe" "${BENCH_COUNT:-500}"
