#!/usr/bin/env bash
# Plate benchmark: vestrel against the peers on realistic plate-sized separations.
#
#   bench/plate_bench.sh [--plates DIR] [--runs N] [--build DIR] [--no-peers] [--no-imagemagick]
#
# Jobs (the same files for every tool):
#   dpi    2400 -> 1270 dpi on the 12000 x 20400 Magenta separation
#   scale  99.5 % x 100 % with the page size kept, 13970 x 21590 Magenta at 1270 dpi
# For each job: vestrel with the whole input cached (default CacheAllLimitMB) and streamed
# through its ring (CacheAllLimitMB=0), the peers of ../shared/tools/peers.sh (libtiff G4
# floor, netpbm, ImageMagick), wall time (median of N runs), input megapixels per second,
# peak memory, and the quality figures of bench/plate_quality (ink coverage in and out,
# LF-RMSE) computed the same way for every output. --no-imagemagick leaves out the slowest
# peer (about a minute a run on the tabloid plate) when only the floor and netpbm ratios count.
#
# The plates are rendered once by ../shared/tools/make-plates.sh into --plates (default
# /tmp/plexivar-plates), outside the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

plates=/tmp/plexivar-plates
runs=3
build="$root/build/release"
peers=1
imagemagick=1
while (($#)); do
  case "$1" in
    --plates) plates=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --no-peers) peers=0; shift ;;
    --no-imagemagick) imagemagick=0; shift ;;
    *) echo "usage: bench/plate_bench.sh [--plates DIR] [--runs N] [--build DIR] [--no-peers] [--no-imagemagick]" >&2; exit 2 ;;
  esac
done

shared="$root/../shared"
scripts/install-deps.sh --bench
if [[ ! -x "$build/bin/vestrel" || ! -x "$build/bin/plate_quality" ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target vestrel_tool vestrel plate_quality
fi
if [[ ! -f "$plates/quarter2400-M.tif" || ! -f "$plates/tabloid1270-M.tif" ]]; then
  mkdir -p "$plates"
  bash "$shared/tools/make-plates.sh" "$plates"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

to_sec() { awk -F: '{ if (NF==3) print $1*3600+$2*60+$3; else print $1*60+$2 }' <<<"$1"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
megapixels() {
  tiffinfo "$1" 2>/dev/null | sed -n 's/.*Image Width: \([0-9]*\) Image Length: \([0-9]*\).*/\1 \2/p' |
    head -1 | awk '{printf "%.1f", $1 * $2 / 1e6}'
}

# run_timed NAME INPUT OUTPUT COMMAND...: median wall seconds, peak RSS, quality.
run_timed() {
  local name=$1 in=$2 out=$3; shift 3
  local walls=() rss=0
  for ((r = 1; r <= runs; r++)); do
    rm -f "$out"
    if ! /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1; then
      echo "| $name | FAILED: $(tail -1 "$work/out.txt") |"; return
    fi
    walls+=("$(to_sec "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")")")
    local m; m=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    ((m > rss)) && rss=$m
  done
  local med; med=$(printf '%s\n' "${walls[@]}" | median)
  local mpx; mpx=$(megapixels "$in")
  local q; q=$("$build/bin/plate_quality" "$in" "$out")
  printf '| %s | %.2f | %.1f | %.0f | %s | %s | %s |\n' "$name" "$med" \
    "$(echo "$mpx / $med" | bc -l)" "$(echo "$rss / 1024" | bc -l)" $q
}

vestrel_job() { # CACHE_MB INPUT OUTPUT ARGS...
  local cache=$1 in=$2 out=$3; shift 3
  mkdir -p "$work/ini-$cache"
  printf '[Setup]\r\nUseTempPath=0\r\nCacheAllLimitMB=%s\r\n' "$cache" >"$work/ini-$cache/plexivar.ini"
  (cd "$work/ini-$cache" && "$build/bin/vestrel" resample "$in" "$out" "$@")
}
export -f vestrel_job
export build work

job() { # TITLE INPUT VESTREL_ARGS OUT_W OUT_H OUT_DPI
  local title=$1 in=$2 args=$3 ow=$4 oh=$5 dpi=$6
  echo
  echo "### $title"
  echo
  echo "Input: $(basename "$in"), $(megapixels "$in") Mpx, $runs runs each (median)."
  echo
  echo "| tool | wall s | Mpx/s | peak MiB | ink in % | ink out % | LF-RMSE |"
  echo "|---|---|---|---|---|---|---|"
  run_timed "vestrel (cached)" "$in" "$work/v.tif" bash -c "vestrel_job 500 '$in' '$work/v.tif' $args"
  run_timed "vestrel (ring, CacheAllLimitMB=0)" "$in" "$work/v.tif" bash -c "vestrel_job 0 '$in' '$work/v.tif' $args"
  if ((peers)); then
    run_timed "libtiff floor (tiffcp -c g4)" "$in" "$work/f.tif" tiffcp -c g4 "$in" "$work/f.tif"
    # The fastest peer with error diffusion, and the best-known one.
    run_timed "netpbm (pamscale + pamditherbw -fs)" "$in" "$work/p.tif" bash -c \
      "tifftopnm -quiet -byrow '$in' | pamscale -xsize $ow -ysize $oh 2>/dev/null | pamditherbw -fs | pnmtotiff -g4 -xresolution $dpi -yresolution $dpi > '$work/p.tif'"
    ((imagemagick)) || return 0
    run_timed "ImageMagick (-resize, Floyd-Steinberg)" "$in" "$work/p.tif" \
      convert "$in" -filter Triangle -resize "${ow}x${oh}!" -dither FloydSteinberg -monochrome \
      -density "$dpi" -units PixelsPerInch -compress Group4 "$work/p.tif"
  fi
}

# ImageMagick's packaged policy refuses plate-sized images; these limits apply to this run only.
mkdir -p "$work/impolicy"
cat >"$work/impolicy/policy.xml" <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="16GiB"/>
  <policy domain="resource" name="map" value="16GiB"/>
  <policy domain="resource" name="width" value="256KP"/>
  <policy domain="resource" name="height" value="256KP"/>
  <policy domain="resource" name="area" value="16GP"/>
  <policy domain="resource" name="disk" value="64GiB"/>
</policymap>
POLICY
export MAGICK_CONFIGURE_PATH="$work/impolicy"

echo "# Plate benchmark, $(date -u '+%Y-%m-%d'), $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB"
job "2400 -> 1270 dpi" "$plates/quarter2400-M.tif" "--resolution 1270" 6350 10795 1270
job "99.5 % x 100 %, page size kept" "$plates/tabloid1270-M.tif" "--scale 99.5x100 --keep-size" 13900 21590 1270
