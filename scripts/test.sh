#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (packages), builds Plexivar and runs every test.
#
#   scripts/test.sh [--werror] [release|debug|tsan|fuzz ...]
#
# Without a preset all four are run: "debug" (AddressSanitizer + UndefinedBehaviorSanitizer),
# "release", "tsan" (the service, the filter and their tests under ThreadSanitizer) and
# "fuzz" (every fuzz target, built with clang and libFuzzer, fuzzed for a short while from
# its seeds).
# --werror turns compiler warnings into errors (CI does).
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
presets=()
for arg in "$@"; do
  case "$arg" in
    --werror) werror=ON ;;
    release|debug|tsan|fuzz) presets+=("$arg") ;;
    *) echo "usage: scripts/test.sh [--werror] [release|debug|tsan|fuzz ...]" >&2; exit 2 ;;
  esac
done
if ((${#presets[@]} == 0)); then presets=(debug release tsan fuzz); fi

# Tests include the status page loaded in a real (headless) browser.
scripts/install-deps.sh --browser

jobs=$(nproc)
for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure"
  cmake --preset "$preset" -DPLEXIVAR_WERROR="$werror" >/dev/null
  echo "=== ${preset}: build"
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset}: test"
  ctest --preset "$preset" -j "$jobs"
done
