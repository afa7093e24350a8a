#!/usr/bin/env bash
# Status endpoint benchmark: does serving the status slow the spooler down?
#
#   bench/status_bench.sh [--files N] [--clients N] [--interval MS] [--runs N] [--build DIR]
#
# N pass-through files (4 KiB, the case where the spooler's own work per file is smallest
# and any cost of the status is most visible) flow through one spooler (PollTime 0,
# StableTime 100) in four set-ups, taking turns for --runs rounds (median reported):
#   off        [Status] Port=0: no recorder endpoint listening
#   on, idle   endpoint listening, nobody asking
#   pollers    --clients clients each asking every --interval ms for /metrics, /api/jobs,
#              / and /api/spoolers in turn (bench/status_poll.cpp)
#   flat out   the same clients without a pause
# Times run from the moment the files are renamed into the hot folder until the last one
# is in the output folder (the service is already running and idle). The clients run at
# nice 10: on a plant they sit on other machines, here they share the service's two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

files=200
clients=50
interval=100
runs=3
build="$root/build/release"
while (($#)); do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --interval) interval=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: bench/status_bench.sh [--files N] [--clients N] [--interval MS] [--runs N] [--build DIR]" >&2; exit 2 ;;
  esac
done
if [[ ! -x "$build/bin/plexivar" || ! -x "$build/bin/status_poll" ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j2 --target plexivar vestrel status_poll
fi

work=$(mktemp -d "$build/status-bench.XXXXXX")
service=""
poller=""
trap '[[ -n $poller ]] && kill "$poller" 2>/dev/null; [[ -n $service ]] && kill "$service" 2>/dev/null; rm -rf "$work"' EXIT
now() { date +%s.%N; }
count() { find "$1" -maxdepth 1 -type f | wc -l; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# run PORT MODE: one run; writes the seconds from drop to the last delivery to
# $work/time.txt and the pollers' figures to $work/poll.txt.
run() {
  local port=$1 mode=$2 dir="$work/run"
  rm -rf "$dir"; mkdir -p "$dir/src" "$dir/hot" "$dir/out"
  for ((i = 0; i < files; i++)); do head -c 4096 /dev/urandom >"$dir/src/f$i-K.tif"; done
  printf '[Setup]\nPollTime=0\nStableTime=100\nInputFolder1=hot\nOutputFolder1=out\nKeepResolution1=1\n[Status]\nPort=%s\n' \
    "$port" >"$dir/plexivar.ini"
  (cd "$dir" && XDG_RUNTIME_DIR="$dir" exec "$build/bin/plexivar" --headless >service.log 2>&1) &
  service=$!
  while ! grep -q "Status: Started" "$dir/service.log" 2>/dev/null; do sleep 0.05; done
  if [[ $mode == pollers || $mode == flat ]]; then
    local pause=$interval
    [[ $mode == flat ]] && pause=0
    nice -n 10 "$build/bin/status_poll" --port "$port" --clients "$clients" --interval-ms "$pause" \
      --until "$dir/done" >"$work/poll.txt" &
    poller=$!
  fi
  sleep 1
  local t0 t1
  t0=$(now); mv "$dir"/src/* "$dir/hot/"
  while (($(count "$dir/out") < files)); do sleep 0.01; done
  t1=$(now)
  touch "$dir/done"
  if [[ -n $poller ]]; then wait "$poller" || echo "pollers saw failures: $(cat "$work/poll.txt")" >&2; poller=""; fi
  kill -TERM "$service"; wait "$service" || true; service=""
  echo "$t1 - $t0" | bc >"$work/time.txt"
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The set-ups take turns within each round, so that load from elsewhere on the machine
# falls on all of them alike.
modes=(off idle pollers flat)
declare -A times polls
for ((r = 0; r < runs; r++)); do
  for mode in "${modes[@]}"; do
    port=0
    [[ $mode != off ]] && port=$(free_port)
    rm -f "$work/poll.txt"
    run "$port" "$mode"
    times[$mode]+="$(cat "$work/time.txt") "
    [[ -f "$work/poll.txt" ]] && polls[$mode]=$(cat "$work/poll.txt")
  done
done

echo "=== $files pass-through files, $runs rounds, $clients clients every $interval ms"
printf '| set-up | files/s (median) | runs (s) | status requests (last run) |\n|---|---|---|---|\n'
base=$(printf '%s\n' ${times[off]} | median)
for mode in "${modes[@]}"; do
  m=$(printf '%s\n' ${times[$mode]} | median)
  case $mode in
    off) label="status off" ;;
    idle) label="status on, no clients" ;;
    pollers) label="$clients clients every $interval ms" ;;
    flat) label="$clients clients flat out" ;;
  esac
  printf '| %s | %.0f (%+.1f %%) | %s| %s |\n' "$label" "$(echo "$files / $m" | bc -l)" \
    "$(echo "($base / $m - 1) * 100" | bc -l)" "${times[$mode]}" "${polls[$mode]:--}"
done
