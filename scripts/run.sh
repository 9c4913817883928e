#!/usr/bin/env bash
# The run command: set-up, build, then the whole update cycle of the shell under Wine in a
# demo folder. A generated demo asset set (tools/demo_update.py), which includes a newer
# copy of Tarvel.exe in resources\app\shell\, is served by a demo update server on
# http://127.0.0.2/ (port 80, which the index addresses need); settings.json beside the
# demo Tarvel.exe points the update index there and turns the asset cache on. Tarvel.exe
# then downloads the assets with its progress window, moves itself aside for the newer
# copy, restarts, and starts the browser stand-in (Sorvik.dll; Pallow.exe is the console
# stand-in, F6). The demo folder's update state is reset on every run, so each run shows
# the whole cycle. Extra arguments are passed on to Tarvel.exe; the log is
# build/demo/Tarvel.log, the server's build/demo-server.log.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
source "$here/scripts/build.sh" "$build"
source "$here/scripts/wine-env.sh" "$build"

demo="$build/demo"
site="$build/demo-site"
host=127.0.0.2
mkdir -p "$demo"
# The x86_64 build: the kernels here cannot run Wine's 32-bit half (see README).
cp "$build/x86_64/Tarvel.exe" "$demo/Tarvel.exe"
cp "$build/x86_64/standins/Sorvik.dll" "$build/x86_64/standins/Pallow.exe" "$demo/"
rm -f "$demo"/*.stop "$demo"/*.~old "$demo/Tarvel.build.txt"
# A fresh update state: no assets, no local index, no date of the last trash removal
# (so the first start runs the full update), and one asset the server no longer lists.
rm -rf "$demo/assets" "$demo/localfiles.idx" "$demo/storage.json"
mkdir -p "$demo/assets/outdated"
echo "no longer published: the update's trash removal deletes this file" >"$demo/assets/outdated/old-notes.txt"

python3 "$here/tools/demo_update.py" make "$site" --host "$host" --exe "$build/x86_64/Tarvel.exe"
python3 - "$demo/settings.json" "http://$host/index.json" <<'PY'
import json, sys
path, url = sys.argv[1], sys.argv[2]
try:
    with open(path, encoding="utf-8-sig") as f:
        settings = json.load(f)
except (OSError, ValueError):
    settings = {}
if not isinstance(settings, dict):
    settings = {}
settings.setdefault("links", {})["updateUrl"] = url
settings.setdefault("common", {})["updateCache"] = True
with open(path, "w", encoding="utf-8") as f:
    json.dump(settings, f, indent=2)
PY

# Port 80 needs root unless the system lets everyone bind it.
serve=(python3 "$here/tools/demo_update.py" serve "$site" --host "$host" --port 80 --kbps 1024)
if [ "$(id -u)" != 0 ] && [ "$(cat /proc/sys/net/ipv4/ip_unprivileged_port_start 2>/dev/null || echo 1024)" -gt 80 ]; then
  serve=(sudo "${serve[@]}")
fi
"${serve[@]}" >"$build/demo-server.log" 2>&1 &
server=$!
stop_all() {
  wineserver -k 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}
trap stop_all EXIT
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://$host/index.json" && break
  kill -0 "$server" 2>/dev/null || { echo "run: the demo update server did not start:" >&2; cat "$build/demo-server.log" >&2; exit 1; }
  sleep 0.2
done
echo "run: demo update server on http://$host/ (index http://$host/index.json)"

cd "$demo"
# The shell ends to restart itself after replacing its executable; wineserver -w then waits
# for the restarted shell and the programs it starts.
run_shell='"$WINELOADER" Tarvel.exe --log "$@"; rc=$?; wineserver -w; exit $rc'

status=0
if [ -n "${DISPLAY:-}" ]; then
  bash -c "$run_shell" run_shell "$@" || status=$?
else
  echo "run: no display; running under Xvfb (end it with Ctrl+C)" >&2
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$run_shell" run_shell "$@" || status=$?
fi
echo "run: Tarvel.exe ended with exit code $status; its log: $demo/Tarvel.log"
