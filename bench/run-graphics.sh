#!/usr/bin/env bash
# The graphics benchmark: the engine's StretchBitmapFiltered, RotateBitmap90 and gradient
# painters (x86_64 build under Wine) beside Pillow (python3-pil) and pixman (built
# natively) doing the same tasks, in megapixels per second of the target, with the ratios.
# The gradients are also set against a plain fill of the same frame, the memory bound.
#   bash bench/run-graphics.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_graphics
need=()
[ -f /usr/include/pixman-1/pixman.h ] || need+=(libpixman-1-dev)
/usr/bin/python3 -c "import PIL" 2>/dev/null || need+=(python3-pil)
if [ ${#need[@]} -gt 0 ]; then
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi

out="$build/bench"
cc -O2 -I"$here/bench" "$here/bench/pixman_graphics.c" $(pkg-config --cflags --libs pixman-1) -o "$out/pixman_graphics"

ours=$(wine "$bench_bin/bench_graphics.exe" | tr -d '\r')
wineserver -k 2>/dev/null || true
pillow=$(/usr/bin/python3 "$here/bench/pillow_graphics.py")
pixman=$("$out/pixman_graphics")

printf '%-32s %10s %10s %7s %10s %7s\n' task ours Pillow ratio pixman ratio
awk -v pillow="$pillow" -v pixman="$pixman" '
  BEGIN {
    n = split(pillow, a, "\n"); for (i = 1; i <= n; i++) { split(a[i], f, " "); pil[f[1]] = f[2] }
    n = split(pixman, a, "\n"); for (i = 1; i <= n; i++) { split(a[i], f, " "); pix[f[1]] = f[2] }
  }
  { ours[$1] = $2; order[++count] = $1 }
  END {
    for (i = 1; i <= count; i++) {
      k = order[i]; v = ours[k]
      p = (k in pil) ? sprintf("%10.1f %7.2f", pil[k], v / pil[k]) : sprintf("%10s %7s", "-", "-")
      x = (k in pix) ? sprintf("%10.1f %7.2f", pix[k], v / pix[k]) : sprintf("%10s %7s", "-", "-")
      printf "%-32s %10.1f %s %s\n", k, v, p, x
    }
    printf "\nrotate90 against making its new bitmap alone: %.2f\n", ours["rotate90"] / ours["new-bitmap"]
    printf "gradients against our own fill of the frame (%.1f MP/s):\n", ours["fill"]
    for (i = 1; i <= count; i++)
      if (order[i] ~ /^gradient/) printf "%-32s %7.2f\n", order[i], ours[order[i]] / ours["fill"]
  }' <<< "$ours"
