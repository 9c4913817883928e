#!/usr/bin/env bash
# The text benchmark: the engine's DrawTextToBitmap32 (a caption and a paragraph, with the
# share of the system's text output), its stencil mixing beside pixman's OVER of a solid
# colour through a component-alpha mask, and BlurBitmap8 beside Pillow's BoxBlur (x86_64
# build under Wine; pixman and Pillow natively), with the ratios.
#   bash bench/run-text.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_text
need=()
[ -f /usr/include/pixman-1/pixman.h ] || need+=(libpixman-1-dev)
/usr/bin/python3 -c "import PIL" 2>/dev/null || need+=(python3-pil)
if [ ${#need[@]} -gt 0 ]; then
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi

out="$build/bench"
cc -O2 -I"$here/bench" "$here/bench/pixman_text.c" $(pkg-config --cflags --libs pixman-1) -o "$out/pixman_text"

ours=$(xvfb-run -a wine "$bench_bin/bench_text.exe" | tr -d '\r')
wineserver -k 2>/dev/null || true
pillow=$(/usr/bin/python3 "$here/bench/pillow_text.py")
pixman=$("$out/pixman_text")

awk -v peers="$pillow"$'\n'"$pixman" '
  BEGIN { n = split(peers, a, "\n"); for (i = 1; i <= n; i++) { split(a[i], f, " "); peer[f[1]] = f[2] } }
  { ours[$1] = $2; order[++count] = $1 }
  END {
    for (t = 1; t <= 2; t++) {
      k = t == 1 ? "caption" : "paragraph"
      printf "%-10s %9.1f us, system text output %9.1f us (%.0f%% of it)\n", k, ours[k "-us"], ours[k "-textout-us"],
             100 * ours[k "-textout-us"] / ours[k "-us"]
    }
    printf "\n%-24s %10s %10s %7s\n", "task (Mpixel/s)", "ours", "peer", "ratio"
    for (i = 1; i <= count; i++) {
      k = order[i]
      if (k ~ /-us$/) continue
      printf "%-24s %10.1f %10.1f %7.2f   (%s)\n", k, ours[k], peer[k], ours[k] / peer[k], k == "mix" ? "pixman" : "Pillow"
    }
  }' <<< "$ours"
