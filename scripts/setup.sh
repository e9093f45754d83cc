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
  libsundials-dev libsuitesparse-dev
  dpkg-dev xz-utils
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

# The solver's state snapshots read CVODE's internal records, whose headers are not installed:
# take them from Debian's source package of the installed version, into a cache outside git.
sundials_internal="${CALOVINDA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/calovinda}/sundials-internal"
sundials_headers=(cvode_impl.h cvode_ls_impl.h cvode_proj_impl.h)
sundials_version=$(dpkg-query -W -f='${source:Version}' libsundials-dev)
if [ "$(cat "$sundials_internal/VERSION" 2>/dev/null)" != "$sundials_version" ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if ! apt-cache showsrc sundials 2>/dev/null | grep -q "^Version: $sundials_version\$"; then
    # deb-src entries derived from the machine's own deb entries
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] || continue
      case "$f" in *calovinda-src.sources) continue ;; esac
      sed -n '/^Types:/s/^Types:.*/Types: deb-src/;p' "$f"
      echo
    done | $sudo tee /etc/apt/sources.list.d/calovinda-src.sources >/dev/null
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list | $sudo tee /etc/apt/sources.list.d/calovinda-src.list >/dev/null
    fi
    $sudo apt-get update
  fi
  download=$(mktemp -d)
  (cd "$download" && apt-get source --download-only "sundials=$sundials_version")
  mkdir -p "$sundials_internal"
  tar -xf "$download"/sundials_*.orig.tar.* -C "$sundials_internal" --strip-components=3 \
    --wildcards "${sundials_headers[@]/#/*/src/cvode/}"
  rm -rf "$download"
  echo "$sundials_version" > "$sundials_internal/VERSION"
fi
cmake_args+=(-DSUNDIALS_INTERNAL_INCLUDE_DIR="$sundials_internal")

cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir"
