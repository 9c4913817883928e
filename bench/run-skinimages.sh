#!/usr/bin/env bash
# The whole load of the program's own skin at 96 and 192 pixels per inch beside the floor
# (unpacking and decoding its images only), under Wine; prints the ratios.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/x86_64
cmake -S "$here" -B "$build" -DTARVEL_BENCH=ON >/dev/null
cmake --build "$build" -j3 --target bench_skinimages stored_skins >/dev/null
source "$here/scripts/wine-env.sh" "$here/build"
wine "$build/bench/bench_skinimages.exe" "Z:$build/stored_skins/SKIN_LUSMERE_II.ovz"
