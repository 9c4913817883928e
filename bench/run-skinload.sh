#!/usr/bin/env bash
# Skin loading benchmark under Wine: our stored skin and generated skins of 100, 400 and
# 1600 sections (tools/make_skin.py bench-skin), each split into unpacking, options text
# and section reading. Sections of the larger skins should cost about four times as much.
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_skinload stored_skins
out="$build/bench-skins"
for n in 100 400 1600; do
  mkdir -p "$out/$n"
  /usr/bin/python3 "$here/tools/make_skin.py" bench-skin "$out/$n" "$n"
  cp "$out/$n/Tarvel Bench.ovz" "$out/Bench $n.ovz"
done
wine "$bench_bin/bench_skinload.exe" "$(winepath -w "$bench_tree/stored_skins/SKIN_LUSMERE_II.ovz" 2>/dev/null || echo Z:$bench_tree/stored_skins/SKIN_LUSMERE_II.ovz)" \
  "Z:$out/Bench 100.ovz" "Z:$out/Bench 400.ovz" "Z:$out/Bench 1600.ovz"
