#!/usr/bin/env bash
# Installs the distribution packages the build and the tests need. Safe to run
# again: packages already present are left alone. The CUDA toolkit (nvcc) is
# part of every build machine and is not installed here.
#
#   tools/install-deps.sh            the Linux build and its tests
#   tools/install-deps.sh --windows  also the Windows cross-build and its run
#                                    under Wine (make windows-check)
#   tools/install-deps.sh --fuzz     also clang and its libFuzzer runtime (make fuzz)
set -euo pipefail

packages=(
  cmake
  ninja-build
  g++
  make
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libopenimageio-dev
  clang-format
  pkgconf
  libasan8
  libubsan1
  libtsan2
)

case "${1:-}" in
  "") ;;
  --windows)
    packages+=(
      g++-mingw-w64-x86-64-posix
      binutils-mingw-w64-x86-64
      libstb-dev
      wine
      wine64
      python3
    )
    ;;
  --fuzz)
    packages+=(
      clang-14
      libclang-rt-14-dev
    )
    ;;
  *)
    echo "usage: tools/install-deps.sh [--windows|--fuzz]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
