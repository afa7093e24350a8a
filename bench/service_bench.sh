#!/usr/bin/env bash
# Service benchmark: what the spooler loop costs next to the work it hands out.
#
#   bench/service_bench.sh [--files N] [--size MB] [--plates DIR] [--build DIR] [--stable MS]
#
# pass-through  N files of SIZE MB through one spooler (PollTime 0, staged delivery through
#               the output folder's "tmp", the default) against `cp` of the same files, and
#               against `cp` followed by an fsync of each file (the service makes every
#               delivered file durable before it appears under its name).
# fan-out       the four separations of the tabloid plate (../shared/tools/make-plates.sh)
#               through a spooler that scales each colour (C 99.7, M 99.5, Y 99.6, K 99.8 %
#               x 100 %, page size kept) against `vestrel resample` of the same four files
#               one after another with the same settings.
# Times are from the moment the files are renamed into the hot folder until the last one
# is in the output folder (the service is already running and idle). Each job runs
# --rounds times (default 3), the set-ups taking turns, and the medians are shown, with the
# load average before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

files=1000
size=1
plates=/tmp/plexivar-plates
build="$root/build/release"
stable=1000
rounds=3
while (($#)); do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --plates) plates=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --stable) stable=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    *) echo "usage: bench/service_bench.sh [--files N] [--size MB] [--plates DIR] [--build DIR] [--stable MS] [--rounds N]" >&2; exit 2 ;;
  esac
done
if [[ ! -x "$build/bin/plexivar" ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target plexivar vestrel_tool vestrel
fi
if [[ ! -f "$plates/tabloid1270-M.tif" ]]; then
  scripts/install-deps.sh --bench
  mkdir -p "$plates"
  bash "$root/../shared/tools/make-plates.sh" "$plates"
fi

# Scratch space on the same file system as the build, so that renames stay renames.
work=$(mktemp -d "$build/service-bench.XXXXXX")
trap 'kill "$service" 2>/dev/null || true; rm -rf "$work"' EXIT
now() { date +%s.%N; }
count() { find "$1" -maxdepth 1 -type f | wc -l; }
# wait_for FOLDER N: until FOLDER holds N files.
wait_for() { while (($(count "$1") < $2)); do sleep 0.01; done; }

start_service() {  # start_service DIR: plexivar --headless in DIR, idle once it runs
  (cd "$1" && XDG_RUNTIME_DIR="$1" exec "$build/bin/plexivar" --headless >service.log 2>&1) &
  service=$!
  while ! grep -q "Status: Started" "$1/service.log" 2>/dev/null; do sleep 0.05; done
  sleep 1
}
stop_service() { kill -TERM "$service"; wait "$service" || true; }

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
load() { cut -d' ' -f1 /proc/loadavg; }

echo "=== pass-through: $files files of $size MB, $rounds rounds (load $(load))"
pt="$work/pt"
mkdir -p "$pt/src"
for ((i = 0; i < files; i++)); do head -c "$((size * 1048576))" /dev/urandom >"$pt/src/f$i.tif"; done
printf '[Setup]\nPollTime=0\nStableTime=%s\nInputFolder1=hot\nOutputFolder1=out\nKeepResolution1=1\nDebug2=1\n' \
  "$stable" >"$pt/plexivar.ini"
cp_t=() cpsync_t=() svc_t=()
for ((r = 0; r < rounds; r++)); do
  rm -rf "$pt/cp" "$pt/cpsync" "$pt/hot" "$pt/out" && mkdir -p "$pt/cp" "$pt/cpsync" "$pt/hot" "$pt/out"
  sync
  t0=$(now); cp "$pt"/src/* "$pt/cp/"; t1=$(now); cp_t+=("$(echo "$t1 - $t0" | bc)")
  t0=$(now); for f in "$pt"/src/*; do cp "$f" "$pt/cpsync/" && sync "$pt/cpsync/$(basename "$f")"; done; t1=$(now)
  cpsync_t+=("$(echo "$t1 - $t0" | bc)")
  start_service "$pt"
  t0=$(now); mv "$pt"/src/* "$pt/hot/"; wait_for "$pt/out" "$files"; t1=$(now)
  stop_service
  svc_t+=("$(echo "$t1 - $t0" | bc)")
  mv "$pt"/out/*.tif "$pt/src/"
done
cp_s=$(printf '%s\n' "${cp_t[@]}" | median)
cpsync_s=$(printf '%s\n' "${cpsync_t[@]}" | median)
svc_s=$(printf '%s\n' "${svc_t[@]}" | median)
printf '| cp | %.2f s |\n| cp + fsync per file | %.2f s |\n| plexivar pass-through (StableTime %s ms) | %.2f s |\n' \
  "$cp_s" "$cpsync_s" "$stable" "$svc_s"
printf 'ratio to cp: %.2f; to cp + fsync: %.2f; per file: %.2f ms (load %s)\n' \
  "$(echo "$svc_s / $cp_s" | bc -l)" "$(echo "$svc_s / $cpsync_s" | bc -l)" \
  "$(echo "$svc_s * 1000 / $files" | bc -l)" "$(load)"

echo "=== fan-out: four tabloid separations, $rounds rounds (load $(load))"
fo="$work/fo"
mkdir -p "$fo/src"
for c in C M Y K; do cp "$plates/tabloid1270-$c.tif" "$fo/src/tabloid-$c.tif"; done
cat >"$fo/plexivar.ini" <<INI
[Setup]
PollTime=0
StableTime=$stable
InputFolder1=hot
OutputFolder1=out
EnableScaling1=1
ColorDetection1=1
KeepResolution1=1
KeepSize1=1
ScalingXC1=99.7
ScalingXM1=99.5
ScalingXY1=99.6
ScalingXK1=99.8
Xreference1=1
Yreference1=1
Debug2=1
INI
declare -A scale=([C]=99.7 [M]=99.5 [Y]=99.6 [K]=99.8)
tool_t=() fo_t=()
for ((r = 0; r < rounds; r++)); do
  rm -rf "$fo/hot" "$fo/out" "$fo/tool" && mkdir -p "$fo/hot" "$fo/out" "$fo/tool"
  t0=$(now)
  for c in C M Y K; do
    (cd "$fo" && "$build/bin/vestrel" resample "src/tabloid-$c.tif" "tool/tabloid-$c.tif" \
      --scale "${scale[$c]}x100" --keep-size --keep-resolution)
  done
  t1=$(now); tool_t+=("$(echo "$t1 - $t0" | bc)")
  start_service "$fo"
  t0=$(now); mv "$fo"/src/* "$fo/hot/"; wait_for "$fo/out" 4; t1=$(now)
  stop_service
  fo_t+=("$(echo "$t1 - $t0" | bc)")
  for c in C M Y K; do cmp -s "$fo/tool/tabloid-$c.tif" "$fo/out/tabloid-$c.tif" || echo "differs: $c"; done
  for c in C M Y K; do cp "$plates/tabloid1270-$c.tif" "$fo/src/tabloid-$c.tif"; done
done
tool_s=$(printf '%s\n' "${tool_t[@]}" | median)
svc_s=$(printf '%s\n' "${fo_t[@]}" | median)
printf '| vestrel resample x 4 | %.2f s |\n| plexivar fan-out spooler (StableTime %s ms) | %.2f s |\n' "$tool_s" "$stable" "$svc_s"
printf 'service adds %.1f %% (load %s)\n' "$(echo "($svc_s / $tool_s - 1) * 100" | bc -l)" "$(load)"
