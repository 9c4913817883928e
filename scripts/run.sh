#!/usr/bin/env bash
# The run command: set-up, build, then the shell under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
source "$here/scripts/build.sh" "$build"
source "$here/scripts/wine-env.sh" "$build"
wine "$build/x86_64/Tarvel.exe" "$@"
