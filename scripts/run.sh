#!/usr/bin/env bash
# The run command: set-up, build, then the shell under Wine in a demo folder, with the
# stand-ins of its two sibling programs beside it (the browser Sorvik.dll and the
# console Pallow.exe, both our own small test program). The shell starts the browser
# stand-in at once ("--fast") and ends when its window is closed; F6 or the
# notification-area menu's "Settings" starts the console stand-in. Extra arguments
# are passed on to Tarvel.exe; the log is build/demo/Tarvel.log.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
source "$here/scripts/build.sh" "$build"
source "$here/scripts/wine-env.sh" "$build"

demo="$build/demo"
mkdir -p "$demo"
# The x86_64 build: the kernels here cannot run Wine's 32-bit half (see README).
cp "$build/x86_64/Tarvel.exe" "$demo/Tarvel.exe"
cp "$build/x86_64/standins/Sorvik.dll" "$build/x86_64/standins/Pallow.exe" "$demo/"
rm -f "$demo"/*.stop

cd "$demo"
trap 'wineserver -k 2>/dev/null || true' EXIT

status=0
if [ -n "${DISPLAY:-}" ]; then
  wine Tarvel.exe --fast --log "$@" || status=$?
else
  echo "run: no display; running under Xvfb (end it with Ctrl+C)" >&2
  xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" Tarvel.exe --fast --log "$@" || status=$?
fi
echo "run: Tarvel.exe ended with exit code $status; its log: $demo/Tarvel.log"
