#!/usr/bin/env bash
# PNG decoding benchmark, native: our reader's core against libpng (Debian's libpng-dev)
# on the same skin-sized and large files drawn by tools/make_skin.py. Prints the ratio
# per class of image last (skin-sized ones together, each large one alone). Freed memory
# stays with the allocator between runs (PNG_BENCH_PLAIN_MALLOC=1: the allocator's defaults).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${BENCH_DIR:-$here/build/bench}
mkdir -p "$out"
dpkg-query -W -f='${Status}' libpng-dev 2>/dev/null | grep -q 'install ok installed' ||
  { echo "bench: installing libpng-dev"; apt-get install -y -q libpng-dev >/dev/null; }
python3 "$here/tools/make_skin.py" bench "$out/images"
g++ -std=c++20 -O2 -DNDEBUG -I"$here" "$here/bench/PngDecode.Bench.cpp" "$here/skin/graphics/acPNG.cpp" \
    "$here/skin/graphics/acZLibEx.cpp" "$here/platform/runtime/Streams.cpp" "$here/fuzz/NativeShims.cpp" -lpng -lz -o "$out/PngDecode.Bench"
"$out/PngDecode.Bench" "$out/images"
