#!/usr/bin/env bash
# One minimize frame and one moving-blend tick of a skinned form (x86_64 build under Wine and
# Xvfb), for the progress window and a 1280 x 800 form, each as a ratio to the period that
# paces it (6 ms for minimize frames, 12 ms for the blend). Aim: each within a quarter of its
# period (ratio 0.25). The minimize frame is a StretchBlt of the saved image and one push to
# the layered window: under Wine and Xvfb the push (the whole surface copied to the X server)
# is most of it; the blend tick is one SetLayeredWindowAttributes. Measured under Wine and
# Xvfb: the blend tick takes under 1 ms (ratio below 0.1) at both sizes; a minimize frame takes
# about 4 ms for the progress window (0.7 of 6 ms) and about 30-50 ms at 1280 x 800, where the
# full-size push to the X server dominates (the frame keeps the form's full size). Profiled
# at 1280 x 800: the frame's own work is about 1.5 ms (clearing 0.05, the StretchBlt 0.7, the
# placement 0.5); Wine's UpdateLayeredWindow alone takes 20-25 ms (its blend and the copy of
# the whole surface to the X server, about 20 ns a pixel). Pushing only the shrunk picture
# was tried and dropped: Wine then rebuilds the window's surface on every frame, which costs
# more (about 30 ms a frame) than the full-size push.
#   bash bench/run-formanimation.sh   (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_formanimation

ours=$(xvfb-run -a -s "-screen 0 1920x1200x24" wine "$bench_bin/bench_formanimation.exe" | tr -d '\r')

echo "kind        size        ms      period  ratio (aim 0.25)"
echo "$ours" | awk '{
  ratio = $4 / $5
  flag = (ratio > 0.25) ? " over" : ""
  printf "%-11s %-10s %7.3f  %4d    %5.2f%s\n", $2, $3, $4, $5, ratio, flag
}'
