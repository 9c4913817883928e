#!/usr/bin/env bash
# The test command: set-up, configure, build, then every test executable under
# Wine inside Xvfb, with a private Wine prefix in the build folder.
#   The shipped Tarvel.exe is the i686 build (build/i686). The tests run the
#   x86_64 build of the same sources (build/x86_64) under wine64, since the
#   kernels of these machines cannot execute Wine's 32-bit half.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
source "$here/scripts/build.sh" "$build"
source "$here/scripts/wine-env.sh" "$build"
status=0
# The skin file readers' cores, natively under libFuzzer with ASan/UBSan, for a bounded
# time on the seeds the skin tool writes. Before ctest, so its summary closes the output.
FUZZ_DIR="$build/fuzz" bash "$here/fuzz/run.sh" "${FUZZ_SECONDS:-20}" || status=$?
cd "$build/x86_64"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
