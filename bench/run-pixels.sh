#!/usr/bin/env bash
# The pixel benchmark: the engine's AlphaBlendRect, BlendBitmapRect and PremultiplyRect
# (x86_64 build under Wine) beside pixman's OVER compositing (built natively) on the same
# 1920 x 1080 frame, in megapixels per second, with the ratio to pixman, for every vector
# path the processor has (forced through the seam) and the one chosen at run time.
# BENCH_JOBS limits the build's parallel jobs (default 2).
#   bash bench/run-pixels.sh            (BUILD_DIR defaults to ./build)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_pixels
if [ ! -f /usr/include/pixman-1/pixman.h ]; then
  apt-get install -y -q --no-install-recommends libpixman-1-dev
fi

out="$build/bench"
cc -O2 -I"$here/bench" "$here/bench/pixman_over.c" $(pkg-config --cflags --libs pixman-1) -o "$out/pixman_over"

ours=$(wine "$bench_bin/bench_pixels.exe" | tr -d '\r')
theirs=$("$out/pixman_over")
wineserver -k 2>/dev/null || true

echo "$theirs"
pixman=$(echo "$theirs" | awk '/^PixmanOver/ {print $2}')
# Each vector path the processor has, then the ratios of the path chosen at run time.
echo "$ours" | awk -v p="$pixman" '$2 !~ /^auto:/ {printf "%-16s %-6s %8s MP/s, %.2f of pixman OVER\n", $1, $2, $3, $3 / p}'
echo "ratios to pixman OVER (aim: 0.8 or more), path chosen at run time:"
echo "$ours" | awk -v p="$pixman" '$2 ~ /^auto:/ {sub(/^auto:/, "", $2); printf "  %-16s %-6s %.2f\n", $1, $2, $3 / p}'
