#!/usr/bin/env bash
# Health throughput through real pipes: N "health" request lines piped into
# Vistrel and into the echo host, output to /dev/null, timed side by side in
# one run (best of three each, interleaved). Prints both times and the ratio.
set -euo pipefail
bin=${1:-build/bin}
count=${2:-1000000}
lines=$(mktemp)
trap 'rm -f "$lines"' EXIT
awk -v n="$count" 'BEGIN { for (i = 1; i <= n; i++) printf "{\"id\":%d,\"method\":\"health\"}\n", i }' > "$lines"

elapsed_ms() {
  local start end
  start=$(date +%s%N)
  cat "$lines" | "$@" > /dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

best_vistrel=; best_echo=
for _ in 1 2 3; do
  v=$(elapsed_ms "$bin/Vistrel"); e=$(elapsed_ms "$bin/echo-host")
  [ -z "$best_vistrel" ] || [ "$v" -lt "$best_vistrel" ] && best_vistrel=$v
  [ -z "$best_echo" ] || [ "$e" -lt "$best_echo" ] && best_echo=$e
done
echo "lines: $count"
echo "Vistrel:   ${best_vistrel} ms"
echo "echo host: ${best_echo} ms"
awk -v v="$best_vistrel" -v e="$best_echo" 'BEGIN { printf "ratio (Vistrel / echo host): %.2f (target <= 2.00)\n", v / e }'
