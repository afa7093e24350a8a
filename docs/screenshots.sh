#!/usr/bin/env bash
# Takes the README's screenshots of the real operator window on a virtual display (Xvfb):
# the main window with a few finished jobs, "General preferences" and "Folder
# configuration". Builds the release preset when needed and writes the pictures into docs/.
#
#   docs/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh --screenshots
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

bin="$root/build/release/bin"
work="$root/build/screenshots"
rm -rf "$work"
mkdir -p "$work/samples" "$work/input1" "$work/config"

# Two spoolers served, a third switched off; magenta is scaled for fan-out, the job record
# file is written so that the script knows when the jobs are done.
cat >"$work/plexivar.ini" <<INI
[Setup]
NumberOfSpoolers=3
AutoStart=1
PollTime=1
StableTime=500
CreateFolders=1
BypassPingTest=1
Debug2=1
InputFolder1=$work/input1
OutputFolder1=$work/output1
EnableScaling1=1
ColorDetection1=1
InputName1=%?-%C.tif
KeepResolution1=1
KeepSize1=1
ScalingXM1=99.5
Xreference1=1
Yreference1=1
InputFolder2=$work/input2
OutputFolder2=$work/output2
InputFolder3=$work/input3
OutputFolder3=$work/output3
Enable3=0
[Window]
Left=0
Top=0
Right=1100
Bottom=640
INI

for page in page1-C page1-M page1-Y page1-K page2-M; do
  "$bin/sample_plate" "$work/samples/$page.tif" 2400 3200 1270 >/dev/null
done
printf 'not a TIFF file' >"$work/samples/page3-M.tif"

export XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"
display=:${PLEXIVAR_SCREENSHOT_DISPLAY:-97}
Xvfb "$display" -screen 0 1400x1000x24 -nolisten tcp &
xvfb=$!
trap 'kill $plexivar $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1

(cd "$work" && exec "$bin/plexivar") &
plexivar=$!

# Waits until a window whose title matches $1 is mapped; prints its id.
window_of() {
  for _ in $(seq 100); do
    if id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  echo "no window '$1'" >&2
  return 1
}

main=$(window_of "Plexivar version")
sleep 2
cp "$work/samples/"page1-*.tif "$work/input1/"
sleep 2
cp "$work/samples/page2-M.tif" "$work/samples/page3-M.tif" "$work/input1/"
for _ in $(seq 150); do
  [[ -f "$work/temp/PlexivarJobs.csv" && $(wc -l <"$work/temp/PlexivarJobs.csv") -ge 6 ]] && break
  sleep 0.2
done
sleep 1.5
import -window "$main" docs/main-window.png

# The dialogs open from the File menu (only while the spoolers are stopped).
xdotool windowfocus --sync "$main"
xdotool key --delay 150 alt+a Down Return
sleep 2
xdotool key --delay 200 alt+f Return
prefs=$(window_of "General preferences")
sleep 1
import -window "$prefs" docs/preferences.png
xdotool key Escape
sleep 1

xdotool windowfocus --sync "$main"
xdotool key --delay 200 alt+f Down Return
folders=$(window_of "Folder configuration")
sleep 1
# Select the first spooler and edit it, so the editing area shows its values.
xdotool windowfocus --sync "$folders"
xdotool key --delay 150 Down Up Tab Tab Tab space
sleep 1
import -window "$folders" docs/folder-configuration.png
xdotool key Escape
sleep 0.5

xdotool windowfocus --sync "$main"
xdotool key ctrl+q
wait "$plexivar" || true
echo "Screenshots written: docs/main-window.png docs/preferences.png docs/folder-configuration.png"
