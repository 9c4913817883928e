#!/usr/bin/env bash
# A skin section painted for a layered window (PaintSkinSectionLayered: masked border,
# stretched by the Mitchell and Hermite pieces, then premultiplied; x86_64 build under
# Wine) beside pixman compositing the same nine pieces with its cubic kernel (built
# natively), in milliseconds, for a 300 x 400 popup and a 1920 x 1080 border window.
# Aim: at least 0.5 of pixman's speed, and the popup within one 12 ms animation frame.
#   bash bench/run-layered.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_layered
if [ ! -f /usr/include/pixman-1/pixman.h ]; then
  apt-get install -y -q --no-install-recommends libpixman-1-dev
fi

out="$build/bench"
cc -O2 "$here/bench/pixman_ninepiece.c" $(pkg-config --cflags --libs pixman-1) -o "$out/pixman_ninepiece"

ours=$(wine "$bench_bin/bench_layered.exe" | tr -d '\r')
theirs=$("$out/pixman_ninepiece")
wineserver -k 2>/dev/null || true

echo "size        ours ms  pixman ms  speed ratio (aim 0.5)  frame (12 ms)"
join <(echo "$ours" | awk '{print $2, $3}' | sort) <(echo "$theirs" | awk '{print $2, $3}' | sort) |
  sort -t x -k1,1n | awk '{
    ratio = $3 / $2
    frame = ($1 == "300x400") ? ($2 <= 12 ? "within" : "over") : "-"
    printf "%-11s %7.2f  %9.2f  %5.2f%s  %s\n", $1, $2, $3, ratio, (ratio < 0.5 ? " under" : ""), frame
  }'
