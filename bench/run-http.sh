#!/usr/bin/env bash
# Load benchmark of the local file server: the same folder served by our server (under
# Wine, x86_64 build) and by nginx from Debian's packages, and the same answers given by
# a minimal Winsock responder under the same Wine (the ceiling of Wine's sockets: one
# gathered write of a fixed answer from memory per request, keep-alive), all on loopback
# and loaded by the same wrk command. Prints requests and bytes per second for a small and
# a large file, then our share of the ceiling and of nginx. Aims: 0.8 of the ceiling on
# small files and equal on large ones.
#   BENCH_SECONDS (default 10), BENCH_CONNECTIONS (default 16)
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_http
secs=${BENCH_SECONDS:-10}
conns=${BENCH_CONNECTIONS:-16}
for pkg in nginx-light wrk; do
  dpkg-query -W -f='${Status}' $pkg 2>/dev/null | grep -q 'install ok installed' ||
    { echo "bench: installing $pkg"; apt-get install -y -q $pkg >/dev/null; }
done

work=$(mktemp -d)
ours= theirs= ceiling=
trap 'kill $ours $theirs $ceiling 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/assets"
chmod 755 "$work"  # nginx's workers run under another user
head -c 2048 /dev/urandom >"$work/assets/small.png"
head -c $((32 * 1024 * 1024)) /dev/urandom >"$work/assets/large.mp4"

port_ours=18854 port_theirs=18855 port_ceiling=18856
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
/usr/lib/wine/wine64 "$bench_bin/bench_http.exe" "Z:${work//\//\\}\\assets\\" $port_ours $((secs * 4 + 30)) &
ours=$!
/usr/lib/wine/wine64 "$bench_bin/bench_http.exe" --ceiling $port_ceiling $((secs * 4 + 30)) 2048 $((32 * 1024 * 1024)) &
ceiling=$!

wait_port() { for _ in $(seq 1 300); do (echo >/dev/tcp/127.0.0.1/$1) 2>/dev/null && return 0; sleep 0.1; done; return 1; }
wait_port $port_ours || { echo "bench: our server did not come up"; exit 1; }
wait_port $port_theirs || { echo "bench: nginx did not come up"; exit 1; }
wait_port $port_ceiling || { echo "bench: the ceiling responder did not come up"; exit 1; }

# wrk's "Requests/sec" and "Transfer/sec" (with its unit) as plain numbers.
measure() {
  wrk -t4 -c"$conns" -d"${secs}s" "http://127.0.0.1:$1/$2" | awk '
    /Requests\/sec/ { rps = $2 }
    /Transfer\/sec/ { v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[A-Za-z]+/, "", v)
                      m = (u == "KB") ? 1024 : (u == "MB") ? 1048576 : (u == "GB") ? 1073741824 : 1
                      bps = v * m }
    END { printf "%.0f %.0f\n", rps, bps }'
}
printf '%-8s %-8s %14s %12s\n' file server "requests/s" "MB/s"
ratios=""
for file in small.png large.mp4; do
  read -r r1 b1 < <(measure $port_ours $file)
  read -r r2 b2 < <(measure $port_theirs $file)
  read -r r3 b3 < <(measure $port_ceiling $file)
  awk -v f="${file%%.*}" -v r1="$r1" -v b1="$b1" -v r2="$r2" -v b2="$b2" -v r3="$r3" -v b3="$b3" 'BEGIN {
    printf "%-8s %-8s %14d %12.1f\n", f, "ours", r1, b1 / 1048576
    printf "%-8s %-8s %14d %12.1f\n", f, "ceiling", r3, b3 / 1048576
    printf "%-8s %-8s %14d %12.1f\n", f, "nginx", r2, b2 / 1048576 }'
  ratios+=$(awk -v f="${file%%.*}" -v r1="$r1" -v b1="$b1" -v r2="$r2" -v b2="$b2" -v r3="$r3" -v b3="$b3" 'BEGIN {
    printf "  %-6s ours/ceiling %5.2f requests, %5.2f bytes; ours/nginx %5.2f requests, %5.2f bytes\n", f,
      (r3 ? r1 / r3 : 0), (b3 ? b1 / b3 : 0), (r2 ? r1 / r2 : 0), (b2 ? b1 / b2 : 0) }')$'\n'
done
echo "ratios (aims: small files 0.8 of the ceiling, large files equal to it):"
printf '%s' "$ratios"
