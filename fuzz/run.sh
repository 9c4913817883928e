#!/usr/bin/env bash
# Native builds of the skin file readers' cores (no Windows): the decoders are plain
# C++ over bytes, so they build on Linux for fuzzing and benchmarks.
#   fuzz/run.sh check        g++ with AddressSanitizer/UBSan; every seed file once per target
#   fuzz/run.sh [SECONDS]    clang libFuzzer targets, each run SECONDS (default 60) on the seeds
# Seeds come from tools/make_skin.py; work files go to $FUZZ_DIR (default build/fuzz).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_DIR:-$here/build/fuzz}
mode=${1:-60}
mkdir -p "$out"
# Debian's own Python first (its packages, python3-pil among them), as the build does.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
"$py" "$here/tools/make_skin.py" fixtures "$out/seeds"
cores=("$here/skin/graphics/acZLibEx.cpp" "$here/skin/graphics/acPNG.cpp" "$here/skin/manager/acPackedSkin.cpp"
       "$here/platform/runtime/Streams.cpp" "$here/platform/ui/Graphics.Bmp.cpp" "$here/fuzz/NativeShims.cpp"
       "$here/skin/controls/sHtmlParse.cpp" "$here/skin/controls/acAlphaHints.Streams.cpp")
declare -A seeds=([PngFuzzer]="$out/seeds/png" [PackedSkinFuzzer]="$out/seeds/packed"
                  [ZStreamFuzzer]="$out/seeds/zlib" [BmpFuzzer]="$out/seeds/bmp"
                  [HtmlFuzzer]="$out/seeds/markup" [HintTemplateFuzzer]="$out/seeds/hints")
# zlib seeds: the compressed entries of a packed skin as they stand
mkdir -p "$out/seeds/zlib"
python3 - "$out/seeds/zlib" <<'PY'
import os, sys, zlib
for i, data in enumerate([b"", b"a" * 1000, bytes(range(256)) * 600, b"skin " * 50]):
    open(os.path.join(sys.argv[1], "z%d" % i), "wb").write(zlib.compress(data, i % 10))
PY
flags=(-std=c++20 -O1 -g -I"$here" -fno-omit-frame-pointer)
status=0
for target in PngFuzzer PackedSkinFuzzer ZStreamFuzzer BmpFuzzer HtmlFuzzer HintTemplateFuzzer; do
  if [ "$mode" = check ]; then
    g++ "${flags[@]}" -fsanitize=address,undefined -fno-sanitize-recover=all "${cores[@]}" \
        "$here/fuzz/$target.cpp" "$here/fuzz/CorpusMain.cpp" -lz -o "$out/$target-check"
    echo "== $target"
    "$out/$target-check" "${seeds[$target]}"/* || status=1
  else
    clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all "${cores[@]}" \
        "$here/fuzz/$target.cpp" -lz -o "$out/$target"
    mkdir -p "$out/corpus-$target"
    echo "== $target for ${mode}s"
    "$out/$target" -max_total_time="$mode" -rss_limit_mb=2048 -artifact_prefix="$out/$target-" -max_len=65536 -print_final_stats=1 \
        "$out/corpus-$target" "${seeds[$target]}" 2>"$out/$target.log" || { status=1; tail -40 "$out/$target.log"; }
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$out/$target.log" || true
  fi
done
exit $status
