#!/usr/bin/env bash
# One frame of each kind of the show animations (fade, zoom, drop-down) and the skin-change
# transition (layered with the old border, and the plain cover's cross-fade): drawn into the
# frame bitmap and handed to a real window (x86_64 build under Wine and Xvfb), for 800 x 600
# and 1920 x 1080 images, each as a ratio to the 12 ms period that paces the frames.
# Aim: every frame within half the period (ratio 0.5) at 1920 x 1080. Measured under Wine and
# Xvfb the push to the layered window (Wine's UpdateLayeredWindow copying the whole surface to
# the X server) is most of every layered frame: a fade frame draws nothing after its first and
# still takes about 54 ms at 1920 x 1080; the plain cover's cross-fade stays near half the period.
#   bash bench/run-anim.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_anim

out="$build/bench"

ours=$(xvfb-run -a -s "-screen 0 1920x1200x24" wine "$bench_bin/bench_anim.exe" | tr -d '\r')

echo "kind               size        ms      ratio to 12 ms (aim 0.5 at 1920x1080)"
echo "$ours" | awk '{
  ratio = $4 / 12
  flag = ($3 == "1920x1080" && ratio > 0.5) ? " over" : ""
  printf "%-18s %-10s %7.2f  %5.2f%s\n", $2, $3, $4, ratio, flag
}'
