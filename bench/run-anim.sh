#!/usr/bin/env bash
# One frame of each kind of the show animations (fade, zoom, drop-down) and the skin-change
# transition (layered with the old border, and the plain cover's cross-fade): drawn into the
# frame bitmap and handed to a real window (x86_64 build under Wine and Xvfb), for 800 x 600
# and 1920 x 1080 images, each as a ratio to the 12 ms period that paces the frames.
# Aim: every frame within half the period (ratio 0.5) at 1920 x 1080.
#   bash bench/run-anim.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"

out="$build/bench"
mkdir -p "$out"
cmake -S "$here" -B "$out/x86_64" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTARVEL_DEPS="$build/deps/x86_64" -DTARVEL_TESTS=OFF -DTARVEL_BENCH=ON >/dev/null
cmake --build "$out/x86_64" -j "${BENCH_JOBS:-2}" --target bench_anim >/dev/null

source "$here/scripts/wine-env.sh" "$build"
ours=$(xvfb-run -a -s "-screen 0 1920x1200x24" wine "$out/x86_64/bench/bench_anim.exe" | tr -d '\r')

echo "kind               size        ms      ratio to 12 ms (aim 0.5 at 1920x1080)"
echo "$ours" | awk '{
  ratio = $4 / 12
  flag = ($3 == "1920x1080" && ratio > 0.5) ? " over" : ""
  printf "%-18s %-10s %7.2f  %5.2f%s\n", $2, $3, $4, ratio, flag
}'
