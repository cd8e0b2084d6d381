#!/usr/bin/env bash
# Start-up to a visible sign-in window, on the demo database, under Xvfb.
# Needs the server of scripts/test.sh or scripts/demo.sh (PGHOST/PGPORT/... set)
# and the demo template it made. Prints each run and the median in ms.
#   bench/startup.sh BUILD_DIR [RUNS]
set -euo pipefail
bin=${1:-build}/mirn; runs=${2:-7}; db=bench_startup
. "$(dirname "$0")/../tests/x11_client.sh"
copy_demo_db "$db"
start_x11
times=()
for i in $(seq "$runs"); do
  t0=$(date +%s%N)
  start_client "$bin" "$db"
  until xdotool search --onlyvisible --name 'Авторизация \(build' >/dev/null 2>&1; do
    kill -0 $app 2>/dev/null || { echo "the client ended before showing the sign-in window" >&2; cat "$tmp/client.log" >&2; exit 1; }
    sleep 0.005
  done
  t1=$(date +%s%N)
  kill $app; wait $app 2>/dev/null || true
  ms=$(( (t1 - t0) / 1000000 ))
  times+=("$ms"); echo "run $i: $ms ms"
done
printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print "median: " a[int((NR+1)/2)] " ms"}'
