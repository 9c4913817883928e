#!/usr/bin/env bash
# Rate and jitter of 20 animation timers of 12 ms (x86_64 build under Wine and Xvfb).
#   BENCH_SECONDS (default 5)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_timers
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$bench_bin/bench_timers.exe" "${BENCH_SECONDS:-5}" 20 12
