#!/usr/bin/env bash
# Cross-builds libjpeg-turbo for Windows from Debian's source package, once per build
# folder: a static library with SIMD (nasm) installed under <build>/third/libjpeg.
# usage: build-libjpeg.sh <toolchain-file> <build-folder>
set -euo pipefail
toolchain=$(realpath "$1")
build=$(realpath -m "$2")
prefix="$build/third/libjpeg"
stamp="$prefix/.built"
[ -f "$stamp" ] && exit 0

work="$build/third/src"
rm -rf "$work" && mkdir -p "$work"
cd "$work"
apt-get source --download-only libjpeg-turbo >/dev/null 2>&1
tar xf libjpeg-turbo_*.orig.tar.gz
src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
cmake -S "$src" -B obj -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
  -DCMAKE_ASM_NASM_COMPILER=nasm >cmake.log 2>&1 || { cat cmake.log; exit 1; }
cmake --build obj --target jpeg-static >build.log 2>&1 || { tail -50 build.log; exit 1; }
cmake --install obj >install.log 2>&1 || true
# Installing everything also needs the tools; only the library and its headers matter.
mkdir -p "$prefix/lib" "$prefix/include"
cp obj/libjpeg.a "$prefix/lib/"
cp obj/jconfig.h "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$prefix/include/"
grep -q 'WITH_SIMD' obj/CMakeCache.txt && grep 'SIMD' cmake.log | head -n 3 || true
touch "$stamp"
