#!/usr/bin/env bash
# Load benchmark of the local file server: the same folder served by our server (under
# Wine, x86_64 build) and by nginx from Debian's packages, both on loopback, measured by
# wrk in one run. Prints requests and bytes per second for a small and a large file, and
# our share of nginx's rate. Aim: half of nginx's rate on small files, the same transfer
# rate on large ones.
#   BENCH_SECONDS (default 10), BENCH_CONNECTIONS (default 16)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
secs=${BENCH_SECONDS:-10}
conns=${BENCH_CONNECTIONS:-16}
for pkg in nginx-light wrk; do
  dpkg-query -W -f='${Status}' $pkg 2>/dev/null | grep -q 'install ok installed' ||
    { echo "bench: installing $pkg"; apt-get install -y -q $pkg >/dev/null; }
done
source "$here/scripts/wine-env.sh" "$build"
cmake -S "$here" -B "$build/x86_64" -DTARVEL_BENCH=ON >/dev/null
cmake --build "$build/x86_64" --target bench_http -j"$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'kill $ours $theirs 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/assets"
chmod 755 "$work"  # nginx's workers run under another user
head -c 2048 /dev/urandom >"$work/assets/small.png"
head -c $((32 * 1024 * 1024)) /dev/urandom >"$work/assets/large.mp4"

port_ours=18854 port_theirs=18855
cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  types { image/png png; video/mp4 mp4; }
  server { listen 127.0.0.1:$port_theirs; root $work/assets; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
theirs=$!
/usr/lib/wine/wine64 "$build/x86_64/bench/bench_http.exe" "Z:${work//\//\\}\\assets\\" $port_ours $((secs * 4 + 30)) &
ours=$!

wait_port() { for _ in $(seq 1 300); do (echo >/dev/tcp/127.0.0.1/$1) 2>/dev/null && return 0; sleep 0.1; done; return 1; }
wait_port $port_ours || { echo "bench: our server did not come up"; exit 1; }
wait_port $port_theirs || { echo "bench: nginx did not come up"; exit 1; }

# wrk's "Requests/sec" and "Transfer/sec" (with its unit) as plain numbers.
measure() {
  wrk -t4 -c"$conns" -d"${secs}s" "http://127.0.0.1:$1/$2" | awk '
    /Requests\/sec/ { rps = $2 }
    /Transfer\/sec/ { v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[A-Za-z]+/, "", v)
                      m = (u == "KB") ? 1024 : (u == "MB") ? 1048576 : (u == "GB") ? 1073741824 : 1
                      bps = v * m }
    END { printf "%.0f %.0f\n", rps, bps }'
}
printf '%-8s %-7s %14s %12s\n' file server "requests/s" "MB/s"
for file in small.png large.mp4; do
  read -r r1 b1 < <(measure $port_ours $file)
  read -r r2 b2 < <(measure $port_theirs $file)
  awk -v f="${file%%.*}" -v r1="$r1" -v b1="$b1" -v r2="$r2" -v b2="$b2" 'BEGIN {
    printf "%-8s %-7s %14d %12.1f\n", f, "ours", r1, b1 / 1048576
    printf "%-8s %-7s %14d %12.1f\n", f, "nginx", r2, b2 / 1048576
    printf "%-8s %-7s %14.2f %12.2f\n", f, "ratio", (r2 ? r1 / r2 : 0), (b2 ? b1 / b2 : 0) }'
done
