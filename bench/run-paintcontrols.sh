#!/usr/bin/env bash
# The progress window rendered by PaintControlToBitmap (x86_64 build under Wine and Xvfb),
# in ms per rendering beside the show animation's 12 ms frame (aim: well under one frame).
#   BENCH_COUNT renderings per case (default 200)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_paintcontrols
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$bench_bin/bench_paintcontrols.exe" "${BENCH_COUNT:-200}"
