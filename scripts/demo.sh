#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Plexivar (release) and runs the service headless
# in the demo folder build/demo, serving the hot folder build/demo/input1 with fan-out
# scaling (magenta 99.5 % x 100 %, the other separations passed through). Two sample
# separations are dropped in once it runs; drop your own 1-bit TIFFs (named like
# page1-M.tif) into build/demo/input1 while it runs. Ctrl-C stops it.
#
#   scripts/demo.sh [--for SECONDS]     stop by itself after SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=""
if [[ "${1:-}" == "--for" ]]; then seconds=${2:?--for wants a number of seconds}; fi

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

bin="$root/build/release/bin"
demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/samples"
cp packaging/plexivar.ini.example "$demo/plexivar.ini"
echo "=== Generating sample separations in $demo/samples"
"$bin/sample_plate" "$demo/samples/page1-M.tif" 4800 6400 1270
"$bin/sample_plate" "$demo/samples/page1-K.tif" 4800 6400 1270

cat <<TEXT
=== Plexivar runs headless in $demo
    hot folder:  $demo/input1    (drop 1-bit TIFFs named like page2-M.tif here)
    output:      $demo/output1
    job record:  $demo/temp/PlexivarJobs.csv    log: $demo/temp/Plexivar.log
    Ctrl-C stops it.
TEXT
cd "$demo"
(sleep 3 && cp samples/page1-M.tif samples/page1-K.tif input1/) &
if [[ -n "$seconds" ]]; then
  timeout --signal=TERM "$seconds" "$bin/plexivar" --headless || [[ $? == 124 ]]
  echo "=== Output folder:"; ls -l output1
  echo "=== Job record:"; cat temp/PlexivarJobs.csv
else
  exec "$bin/plexivar" --headless
fi
