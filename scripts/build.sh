#!/usr/bin/env bash
# Configures and builds the three builds from one tree:
#   build/native  Linux g++, platform-independent code and its unit tests (ASan/UBSan)
#   build/win64   x86_64 Windows: the product, run and tested under Wine
#   build/win32   i686 Windows: must compile and link (this machine cannot run it)
# usage: scripts/build.sh [native|win64|win32|bench ...]   (default: the first three)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native win64 win32)
jobs=$(nproc)

for t in "${targets[@]}"; do
  case "$t" in
    native)
      cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELV_SANITIZE=ON >/dev/null ;;
    bench)
      # Benchmarks run on optimised code without sanitizers.
      cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELV_SANITIZE=OFF >/dev/null ;;
    win64|win32)
      tc=cmake/toolchain-mingw${t#win}.cmake
      bash scripts/build-libjpeg.sh "$tc" "build/$t"
      bash scripts/build-modernlibs.sh "$tc" "build/$t"
      cmake -S . -B "build/$t" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKELV_JPEG_PREFIX="$top/build/$t/third/libjpeg" \
        -DKELV_MODERN_PREFIX="$top/build/$t/third/modern" >/dev/null ;;
    *) echo "unknown build: $t" >&2; exit 2 ;;
  esac
  echo "== building $t"
  cmake --build "build/$t" -j "$jobs"
done
