#!/usr/bin/env bash
# One arc preloader frame (itLine, itMask1) and one gauge paint at 100 x 80 (x86_64 build
# under Wine and Xvfb), in microseconds; aim under 1 ms a frame, a tenth of a 12 ms step.
#   BENCH_COUNT frames per case (default 500)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_arccontrols
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$bench_bin/bench_arccontrols.exe" "${BENCH_COUNT:-500}"
