#!/usr/bin/env bash
# The whole load of the program's own skin at 96 and 192 pixels per inch beside the floor
# (unpacking and decoding its images only), under Wine; prints the ratios.
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_skinimages stored_skins
wine "$bench_bin/bench_skinimages.exe" "Z:$bench_tree/stored_skins/SKIN_LUSMERE_II.ovz"
