#!/usr/bin/env bash
# A skinned form's non-client render (PaintAll) and its WM_NCPAINT copy beside a plain BitBlt
# of the same cache (x86_64 build under Wine and Xvfb), with the ratios.
# Aim: the progress window's render well inside one 60 Hz frame, the copy within 2x the blit.
#   bash bench/run-nonclient.sh            (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_nonclient
fixtures="$build/bench/nonclient-fixtures"
python3 "$here/tools/make_skin.py" fixtures "$fixtures" >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$bench_bin/bench_nonclient.exe" \
  "$(winepath -w "$fixtures/formframe")"
