#!/usr/bin/env bash
# A full repaint of a skinned message-box shaped dialog and of a dialog with 30 native controls
# beside the same dialogs unskinned, and the dialog handler's PaintAll alone (x86_64 build under
# Wine and Xvfb), with the ratio. Aim: the skinned message box repainted within one 60 Hz frame
# (16 ms).
#   bash bench/run-dialogpaint.sh          (BUILD_DIR defaults to ./build; BENCH_JOBS: build jobs)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_dialogpaint
fixtures="$build/bench/dialogpaint-fixtures"
python3 "$here/tools/make_skin.py" fixtures "$fixtures" >/dev/null
xvfb-run -a -s "-screen 0 1280x1024x24" "$WINELOADER" "$bench_bin/bench_dialogpaint.exe" \
  "$(winepath -w "$fixtures/dialogs")" | tr -d '\r' | grep -vE '^[0-9a-f]+:(fixme|err|warn)'
