#!/usr/bin/env bash
# Cross-builds the decoders of the modern-formats module for Windows from Debian's source
# packages, once per build folder: libwebp (WebP), libde265 (HEVC, for HEIC), dav1d (AV1,
# for AVIF) and libheif (the HEIF/AVIF container), all static, decoders only, installed
# under <build>/third/modern. Each library keeps its own stamp, so a failed run resumes.
# Debian's patches (security fixes above all) are applied by unpacking with dpkg-source.
# usage: build-modernlibs.sh <toolchain-file> <build-folder>
set -euo pipefail
toolchain=$(realpath "$1")
build=$(realpath -m "$2")
prefix="$build/third/modern"
work="$build/third/modern-src"
mkdir -p "$prefix" "$work"
triplet=$(sed -n 's/^set(KELV_TRIPLET \(.*\))$/\1/p' "$toolchain")
case "$triplet" in
  x86_64-*) cpu_family=x86_64; cpu=x86_64 ;;
  i686-*) cpu_family=x86; cpu=i686 ;;
  *) echo "unknown toolchain triplet: $triplet" >&2; exit 2 ;;
esac

# Unpacks Debian's source package <name> into $work/<name> with its patches applied. The
# mirror may lack the newest (security) version's files; the versions apt knows are then
# tried newest first.
fetch() {
  local name=$1 dir="$work/$1" v
  rm -rf "$dir" "$work/dl-$name" && mkdir -p "$work/dl-$name"
  (
    cd "$work/dl-$name"
    if ! apt-get source --download-only "$name" >/dev/null 2>&1; then
      for v in $(apt-cache showsrc "$name" | sed -n 's/^Version: //p' | sort -ruV); do
        rm -f ./*
        apt-get source --download-only "$name=$v" >/dev/null 2>&1 && break
      done
    fi
    dpkg-source --no-check -x ./*.dsc "$dir" >/dev/null
  )
  echo "$name $(ls "$work/dl-$name" | sed -n 's/\.dsc$//p')"
}

cmake_lib() {
  local name=$1 target=$2; shift 2
  cmake -S "$work/$name" -B "$work/$name/obj" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF "$@" >"$work/$name.cmake.log" 2>&1 \
    || { cat "$work/$name.cmake.log"; exit 1; }
  cmake --build "$work/$name/obj" --target $target >"$work/$name.build.log" 2>&1 \
    || { tail -50 "$work/$name.build.log"; exit 1; }
}

timed() {
  local name=$1 start=$SECONDS; shift
  [ -f "$prefix/.built-$name" ] && return 0
  "$@"
  touch "$prefix/.built-$name"
  echo "built $name in $((SECONDS - start)) s"
}

build_libwebp() {
  fetch libwebp
  local off=()
  for o in ANIM_UTILS CWEBP DWEBP GIF2WEBP IMG2WEBP VWEBP WEBPINFO WEBPMUX EXTRAS LIBWEBPMUX; do
    off+=("-DWEBP_BUILD_$o=OFF")
  done
  cmake_lib libwebp "webpdecoder webpdemux" "${off[@]}" -DWEBP_ENABLE_SIMD=ON
  mkdir -p "$prefix/lib" "$prefix/include/webp"
  cp "$work/libwebp/obj/libwebpdecoder.a" "$work/libwebp/obj/libwebpdemux.a" "$prefix/lib/"
  cp "$work/libwebp/src/webp/decode.h" "$work/libwebp/src/webp/demux.h" \
     "$work/libwebp/src/webp/mux_types.h" "$work/libwebp/src/webp/types.h" "$prefix/include/webp/"
}

build_libde265() {
  fetch libde265
  cmake_lib libde265 de265 -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
  cmake --install "$work/libde265/obj" >/dev/null
}

build_dav1d() {
  fetch dav1d
  local cross="$work/meson-cross.txt"
  cat >"$cross" <<EOF
[binaries]
c = '$triplet-gcc-posix'
ar = '$triplet-ar'
strip = '$triplet-strip'
windres = '$triplet-windres'
nasm = 'nasm'

[host_machine]
system = 'windows'
cpu_family = '$cpu_family'
cpu = '$cpu'
endian = 'little'
EOF
  meson setup "$work/dav1d/obj" "$work/dav1d" --cross-file "$cross" \
    --prefix "$prefix" --libdir lib --buildtype release --default-library static \
    -Denable_tools=false -Denable_tests=false -Denable_examples=false -Denable_docs=false \
    -Dbitdepths=8,16 -Denable_asm=true >"$work/dav1d.meson.log" 2>&1 \
    || { cat "$work/dav1d.meson.log"; exit 1; }
  ninja -C "$work/dav1d/obj" install >"$work/dav1d.build.log" 2>&1 \
    || { tail -50 "$work/dav1d.build.log"; exit 1; }
}

build_libheif() {
  fetch libheif
  # pkg-config sees only the libraries built here, never the build machine's own.
  PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= cmake_lib libheif heif \
    -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DWITH_X265=OFF -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF -DWITH_SvtEnc=OFF \
    -DWITH_RAV1E=OFF \
    -DWITH_LIBDE265=ON -DLIBDE265_INCLUDE_DIR="$prefix/include" \
    -DLIBDE265_LIBRARY="$prefix/lib/libde265.a" \
    -DWITH_DAV1D=ON -DDAV1D_INCLUDE_DIR="$prefix/include" \
    -DDAV1D_LIBRARY="$prefix/lib/libdav1d.a"
  grep -E 'libde265|Dav1d' "$work/libheif.cmake.log" | grep -q 'not found' \
    && { grep -E 'libde265|Dav1d' "$work/libheif.cmake.log"; exit 1; }
  cmake --install "$work/libheif/obj" >/dev/null
}

timed libwebp build_libwebp
timed libde265 build_libde265
timed dav1d build_dav1d
timed libheif build_libheif
