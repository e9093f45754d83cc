#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then configures
# and builds. Safe to run again at any time.
#   scripts/setup.sh              release build in build/
#   scripts/setup.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DCALOVINDA_SANITIZE=ON -DCALOVINDA_BENCH=OFF)
fi

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev
  libfast-float-dev
  qtbase5-dev
  libtinyxml-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir"
