#!/usr/bin/env bash
# Updater benchmark: generates an asset set (many small files, a few large ones), serves it
# on a loopback address from a Wine process, and measures side by side
#   - the updater's full download into an empty folder  vs  curl --parallel --parallel-max 5
#   - the local check hashing every file with 1, 2, 4 and all workers  vs  md5sum over the same tree
# and prints the ratios last (aims: download within 1.5x of curl; the check with all
# workers at least 2x faster than md5sum, and 4 workers at least 3x faster than 1).
# BENCH_JOBS limits the build's parallel jobs (default 2).
#   bench/updater_bench.sh [SMALL_FILES] [LARGE_FILES] [LARGE_MB]
set -euo pipefail
source "$(dirname "$0")/bench-build.sh" bench_updater
small=${1:-2000}
large=${2:-4}
large_mb=${3:-32}
host=127.0.0.7

exe="$bench_bin/bench_updater.exe"

work=$(mktemp -d /tmp/tarvel-bench.XXXXXX)
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

echo "generating $small small files and $large files of $large_mb MB..."
site="$work/site"
mkdir -p "$site/files"
for i in $(seq 1 "$small"); do
  d="$site/files/s$((i % 25))"
  mkdir -p "$d"
  head -c $(( (RANDOM % 32 + 1) * 1024 )) /dev/urandom > "$d/f$i.bin"
done
for i in $(seq 1 "$large"); do head -c "${large_mb}M" /dev/urandom > "$site/files/big$i.bin"; done
(cd "$site" && find files -type f -printf '%p %s\n' | sort) > "$work/sizes"
(cd "$site" && find files -type f -print0 | xargs -0 md5sum) > "$work/sums"
awk -v host="$host" 'NR==FNR { size[$1] = $2; next }
  { printf "%s{\"path\":\"http://%s/%s\",\"hash\":\"%s\",\"size\":\"%s\"}", (n++ ? "," : "["), host, $2, $1, size[$2] }
  END { print "]" }' "$work/sizes" "$work/sums" > "$site/index.json"
total_bytes=$(awk '{ s += $2 } END { print s }' "$work/sizes")
echo "asset set: $(wc -l < "$work/sizes") files, $((total_bytes / 1048576)) MB"

"$WINELOADER" "$exe" serve "$(winpath "$site")" "$host" 80 > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 1 200); do curl -sf -o /dev/null "http://$host/index.json" && break; sleep 0.1; done

# curl: the same files, five transfers at once.
while read -r path _; do
  printf 'url = "http://%s/%s"\noutput = "%s/curl/%s"\n' "$host" "$path" "$work" "$path"
done < "$work/sizes" > "$work/curl.cfg"
t0=$(now_ms)
curl --silent --fail --parallel --parallel-max 5 --create-dirs -K "$work/curl.cfg" 2>/dev/null
curl_ms=$(( $(now_ms) - t0 ))

# The updater: full download into an empty folder, then the local check by hashing.
assets="$work/assets/"
mkdir -p "$assets"
dl=$("$WINELOADER" "$exe" download "http://$host/index.json" "$(winpath "$assets")" "$(winpath "$work/localfiles.idx")" | tr -d '\r')
download_ms=$(sed -n 's/^download_ms=//p' <<< "$dl")
# The same with a 1 ms pass of the download loop, to show what the 10 ms pass costs.
rm -rf "$assets" "$work/localfiles.idx"; mkdir -p "$assets"
dl1=$("$WINELOADER" "$exe" download "http://$host/index.json" "$(winpath "$assets")" "$(winpath "$work/localfiles.idx")" 1 | tr -d '\r')
download1_ms=$(sed -n 's/^download_ms=//p' <<< "$dl1")
cmp -s "$site/files/big1.bin" "$assets/files/big1.bin" || { echo "downloaded content differs" >&2; exit 1; }

# Hashing: the median of three runs each, md5sum (one core) beside the local check with
# 1, 2, 4 and all workers, and what one worker's MD5 reaches.
median3() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
runs=()
for _ in 1 2 3; do
  t0=$(now_ms)
  (cd "$assets" && find files -type f -print0 | xargs -0 md5sum > /dev/null)
  runs+=($(( $(now_ms) - t0 )))
done
md5sum_ms=$(median3 "${runs[@]}")
cores=$(nproc)
declare -A hash_ms
for workers in 1 2 4 "$cores"; do
  [ -n "${hash_ms[$workers]:-}" ] && continue
  runs=()
  for _ in 1 2 3; do
    hs=$("$WINELOADER" "$exe" hash "http://$host/index.json" "$(winpath "$assets")" "$(winpath "$work/localfiles.idx")" "$workers" | tr -d '\r')
    runs+=($(sed -n 's/^hash_ms=//p' <<< "$hs"))
  done
  hash_ms[$workers]=$(median3 "${runs[@]}")
done
# The floor the platform sets: the same files opened, read and closed by the same loop
# with all workers, nothing hashed (under Wine each open, first read and close is a
# round trip to the single wineserver process).
runs=()
for _ in 1 2 3; do
  rd=$("$WINELOADER" "$exe" readall "$(winpath "$assets")" "$cores" | tr -d '\r')
  runs+=($(sed -n 's/^readall_ms=//p' <<< "$rd"))
done
readall_ms=$(median3 "${runs[@]}")
speed=$("$WINELOADER" "$exe" md5speed "$(winpath "$assets/files/big1.bin")" | tr -d '\r')

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
echo "cores: $cores"
printf 'download: updater %6d ms, curl --parallel-max 5 %6d ms\n' "$download_ms" "$curl_ms"
printf '  (with a 1 ms loop pass instead of 10 ms: %d ms)\n' "$download1_ms"
printf 'hashing (median of 3): md5sum %d ms' "$md5sum_ms"
for workers in 1 2 4 "$cores"; do printf ', %d workers %d ms' "$workers" "${hash_ms[$workers]}"; done
echo
printf 'one worker MD5 (Windows CNG under Wine): %s MB/s in memory, %s MB/s with the file reads; md5sum %s MB/s\n' \
  "$(sed -n 's/^md5_memory_mbs=//p' <<< "$speed")" "$(sed -n 's/^md5_file_mbs=//p' <<< "$speed")" \
  "$(awk -v b="$total_bytes" -v ms="$md5sum_ms" 'BEGIN { printf "%.0f", (ms > 0 ? b / 1048576 / (ms / 1000) : 0) }')"
printf 'open, read and close every file, no hashing, %d workers: %d ms\n' "$cores" "$readall_ms"
echo "ratios:"
printf '  download: updater / curl                %s (aim <= 1.5)\n' "$(ratio "$download_ms" "$curl_ms")"
printf '  hashing:  md5sum / updater (%d workers)  %s (aim >= 2)\n' "$cores" "$(ratio "$md5sum_ms" "${hash_ms[$cores]}")"
printf '  hashing:  1 worker / 4 workers          %s (aim >= 3)\n' "$(ratio "${hash_ms[1]}" "${hash_ms[4]}")"
printf '  hashing:  updater / file reads alone    %s (%d workers; 1.00 is the floor)\n' "$(ratio "${hash_ms[$cores]}" "$readall_ms")" "$cores"
