#!/usr/bin/env bash
# A skinned form's non-client render and its WM_NCPAINT copy beside a plain BitBlt of the
# same cache (x86_64 build under Wine and Xvfb); prints the ratios.
#   BENCH_COUNT repetitions per case (default 200)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
source "$here/scripts/wine-env.sh" "$build"
cmake -S "$here" -B "$build/x86_64" -DTARVEL_BENCH=ON >/dev/null
cmake --build "$build/x86_64" --target bench_nonclient skin_fixtures -j2 >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$build/x86_64/bench/bench_nonclient.exe" \
  "$(winepath -w "$build/x86_64/tests/skin_fixtures/forms")" "${BENCH_COUNT:-200}"
