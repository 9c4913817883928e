#!/usr/bin/env bash
# One frame of each hide animation (fade, zoom, roll-up) for 800 x 600 and 1920 x 1080 images,
# drawn and pushed to a real layered window (x86_64 build under Wine and Xvfb), with the ratio
# to the 12 ms period that paces the frames. The aim: every frame within half the period.
#   bash bench/run-anim-hide.sh            (BUILD_DIR defaults to ./build)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_anim_hide
xvfb-run -a -s "-screen 0 2048x1200x24" "$WINELOADER" "$bench_bin/bench_anim_hide.exe" | tr -d '\r' |
  grep -vE '^[0-9a-f]+:(fixme|err|warn)'
