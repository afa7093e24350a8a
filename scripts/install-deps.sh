#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Plexivar need, when
# they are missing. Safe to run again: installed packages are left alone.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  libtiff-dev libtiff-tools libboost-regex-dev
  qt6-base-dev libgl-dev fonts-dejavu-core
  unixodbc-dev odbc-postgresql postgresql
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsystemd-dev
  libcpp-httplib-dev nlohmann-json3-dev
  iproute2 procps time bc locales
  clang libfuzzer-14-dev libclang-rt-14-dev
)

# The status page's browser test loads the page in headless Chromium (skipped without it).
if [[ "${1:-}" == "--browser" ]]; then
  PACKAGES+=(chromium)
fi

# Benchmarks also need the plate renderer and the peer tools they compare against.
if [[ "${1:-}" == "--bench" ]]; then
  PACKAGES+=(ghostscript netpbm imagemagick libtiff-tools time bc)
fi

# The README's screenshots are taken of the real window on a virtual display.
if [[ "${1:-}" == "--screenshots" ]]; then
  PACKAGES+=(xvfb xauth xdotool imagemagick)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
