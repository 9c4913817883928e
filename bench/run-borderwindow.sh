#!/usr/bin/env bash
# The border window's update with a new image and with the image it has, for the progress
# window's frame and a 1280 x 800 form (x86_64 build under Wine and Xvfb), with the ratios to
# the 6 ms period. Aim: each within a quarter of the period. Profiled at 1280 x 800 under a
# busy machine: the render of a new image about 5 ms, the copy of the cache with the client
# hole and the see-through pixels in the colour key about 1 ms, Wine's UpdateLayeredWindow
# 20-40 ms (the whole surface to the X server): the push limits both columns.
#   bash bench/run-borderwindow.sh         (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_borderwindow
fixtures="$build/bench/borderwindow-fixtures"
python3 "$here/tools/make_skin.py" fixtures "$fixtures" >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$bench_bin/bench_borderwindow.exe" \
  "$(winepath -w "$fixtures/formframe")"
