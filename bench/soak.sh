#!/usr/bin/env bash
# The full soak: plexivar --headless (release build) serving three hot folders while slow
# writers put 1500 plates into them (pass-through and resampling mixed; dribbled over
# seconds, written under a working name and renamed, or written under a lock). It checks
# that every file is accounted for exactly once, that none was taken half-written or twice,
# and prints the service's descriptors, threads and resident memory after its first 150
# files and at the end (they must not grow). The test suite runs the same test with 150
# files.
#
#   bench/soak.sh [--files N] [--writers N]
set -euo pipefail
cd "$(dirname "$0")/.."

files=1500
writers=16
while (($#)); do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --writers) writers=$2; shift 2 ;;
    *) echo "usage: bench/soak.sh [--files N] [--writers N]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target soak_tests plexivar vestrel
PLEXIVAR_SOAK_FILES=$files PLEXIVAR_SOAK_WRITERS=$writers \
  build/release/bin/soak_tests --gtest_filter='Soak.*'
