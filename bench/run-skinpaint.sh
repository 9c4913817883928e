#!/usr/bin/env bash
# Skin section painting (x86_64 build under Wine): each case painted into 1920 x 1080 and
# 800 x 600 bitmaps beside the primitives it is made of over the same area, in megapixels
# per second, and the ratio of the case's time to its primitives' time.
# Aim: every case within 1.5, the key-colour border within 1.2.
#   bash bench/run-skinpaint.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_skinpaint

out="$build/bench"

lines=$(wine "$bench_bin/bench_skinpaint.exe" | tr -d '\r')
wineserver -k 2>/dev/null || true

echo "case          size        case MP/s  primitives MP/s  ratio (aim)  primitives"
echo "$lines" | awk '{
  aim = ($1 == "keyborder") ? 1.2 : 1.5
  ratio = $4 / $3
  printf "%-13s %-11s %9s  %15s  %5.2f (%.1f)%s  %s\n", $1, $2, $3, $4, ratio, aim, (ratio > aim ? " over" : ""), $5
}'
