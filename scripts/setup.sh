#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then configures
# and builds. Safe to run again at any time.
#   scripts/setup.sh              release build in build/
#   scripts/setup.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
#   scripts/setup.sh --fuzz       clang build of the libFuzzer targets (with ASan + UBSan) in build-fuzz/
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=Release)
build_args=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DCALOVINDA_SANITIZE=ON -DCALOVINDA_BENCH=OFF)
elif [ "${1:-}" = "--fuzz" ]; then
  build_dir=build-fuzz
  cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
              -DCALOVINDA_FUZZ=ON -DCALOVINDA_SANITIZE=ON -DCALOVINDA_BENCH=OFF -DCALOVINDA_UNIT_TESTS=OFF)
  build_args=(--target calovinda_fuzz_targets)
fi

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev
  libfast-float-dev
  qtbase5-dev
  libtinyxml-dev
  libquazip1-qt5-dev
  libsundials-dev libsuitesparse-dev
  dpkg-dev xz-utils
  clang libclang-rt-14-dev
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

# Debian's SUNDIALS libraries are built without optimisation, and the solver's state snapshots read
# CVODE's internal records, whose headers are not installed. So build the static libraries the
# solver uses with optimisation from Debian's source package of the installed version (Debian's
# patches applied) and keep CVODE's internal headers of that same source next to them: a cache
# outside git, one folder per version and build recipe, built only when that folder is incomplete.
cache="${CALOVINDA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/calovinda}"
sundials_version=$(dpkg-query -W -f='${source:Version}' libsundials-dev)
sundials_recipe=(
  -DCMAKE_C_COMPILER=gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_POSITION_INDEPENDENT_CODE=ON
  -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON
  -DBUILD_CVODE=ON -DBUILD_ARKODE=OFF -DBUILD_CVODES=OFF -DBUILD_IDA=OFF -DBUILD_IDAS=OFF -DBUILD_KINSOL=OFF
  -DBUILD_NVECTOR_MANYVECTOR=OFF -DBUILD_FORTRAN_MODULE_INTERFACE=OFF
  -DEXAMPLES_ENABLE_C=OFF -DEXAMPLES_ENABLE_CXX=OFF -DEXAMPLES_INSTALL=OFF
  -DENABLE_KLU=ON -DKLU_INCLUDE_DIR=/usr/include/suitesparse -DKLU_LIBRARY_DIR="/usr/lib/$(gcc -print-multiarch)"
)
sundials_recipe_text=$(printf '%s\n' "sundials $sundials_version" "$(gcc --version | head -n 1)" "${sundials_recipe[@]}")
sundials_key=$(sha256sum <<< "$sundials_recipe_text" | cut -c 1-12)
sundials_dir="$cache/sundials-${sundials_version//:/_}-$sundials_key"
sundials_internal=(cvode_impl.h cvode_ls_impl.h cvode_proj_impl.h)
if [ ! -f "$sundials_dir/RECIPE" ]; then
  mkdir -p "$cache"
  exec 9>"$cache/sundials.lock"
  flock 9   # a setup script running in parallel builds the same folder
fi
if [ ! -f "$sundials_dir/RECIPE" ]; then
  started=$SECONDS
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
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get source "sundials=$sundials_version")   # unpacks with Debian's patches
  source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sundials-*')
  rm -rf "$sundials_dir"
  env -u CFLAGS -u CPPFLAGS -u LDFLAGS cmake -S "$source_dir" -B "$work/build" -G Ninja -Wno-dev \
    -DCMAKE_INSTALL_PREFIX="$sundials_dir" "${sundials_recipe[@]}" > "$work/configure.log" 2>&1 \
    || { cat "$work/configure.log"; exit 1; }
  cmake --build "$work/build"
  cmake --install "$work/build" > "$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
  mkdir -p "$sundials_dir/internal"
  cp "${sundials_internal[@]/#/$source_dir/src/cvode/}" "$sundials_dir/internal/"
  rm -rf "$work"
  trap - EXIT
  echo "$sundials_recipe_text" > "$sundials_dir/RECIPE"
  echo "Built SUNDIALS $sundials_version into $sundials_dir in $((SECONDS - started)) s"
fi
exec 9>&-
cmake_args+=(-DCALOVINDA_SUNDIALS_DIR="$sundials_dir")

cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir" "${build_args[@]}"
