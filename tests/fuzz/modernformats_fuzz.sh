#!/usr/bin/env bash
# Builds the modernformats fuzz target with clang's libFuzzer and AddressSanitizer (the
# module's glue instrumented, the system's libheif and libwebp of the same Debian releases
# as the DLL's) and runs it for a bounded time. The seeds are made here by Debian's
# encoders: a small WebP (lossy, lossless, animated), HEIC and AVIF (plain and grid).
# usage: tests/fuzz/modernformats_fuzz.sh [seconds, default 60] [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
out=${2:-$top/build/fuzz}/modernformats
mkdir -p "$out"
cd "$out"

src="$top/plugins/modernformats"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
       -I"$src" -I"$top/plugins" -I"$top/plugin-api" $(pkg-config --cflags libheif libwebp libwebpdemux))
objs=()
for f in "$src"/decode.cpp "$src"/webp_codec.cpp "$src"/heif_codec.cpp "$src"/module_heap.cpp \
         "$top/plugins/plugincommon/heap_block.cpp" "$top/plugins/plugincommon/decode_args.cpp" \
         "$top/plugins/plugincommon/exif_reader.cpp"; do
  o=$(basename "${f%.cpp}").o
  clang++ "${flags[@]}" -c "$f" -o "$o"
  objs+=("$o")
done
clang++ "${flags[@]/fuzzer-no-link/fuzzer}" "$top/tests/fuzz/modernformats_fuzz.cpp" "${objs[@]}" \
  $(pkg-config --libs libheif libwebp libwebpdemux) -o modernformats_fuzz

# Seeds: the first byte is the target's option byte (0: buffer mode, a wish, no filter).
seeds="$out/seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
convert -size 48x32 -seed 4 plasma:fractal -depth 8 seed.png
convert seed.png -negate seed2.png
cwebp -quiet -q 60 seed.png -o s.webp
cwebp -quiet -lossless seed.png -o sl.webp
img2webp -lossy seed.png seed2.png -o sa.webp >/dev/null
heif-enc -q 50 seed.png -o s.heic >/dev/null
avifenc -s 10 seed.png s.avif >/dev/null
# Grid cells are at least 64 x 64.
convert -size 128x64 -seed 5 plasma:fractal -depth 8 wide.png
avifenc -s 10 --grid 2x1 wide.png sg.avif >/dev/null
for f in s.webp sl.webp sa.webp s.heic s.avif sg.avif; do
  { printf '\000'; cat "$f"; } >"$seeds/$f"
done
# Inputs that once failed, kept so that every run tries them again (option byte included).
cp "$top"/tests/fuzz/modernformats_corpus/* "$seeds/"

# dav1d (through libheif's AV1 decoder) keeps a few dozen bytes on some damaged AV1 data;
# that is the library's, not the glue's, so only leaks from inside it are let pass.
echo "leak:libdav1d.so" >lsan.supp
export LSAN_OPTIONS="suppressions=$PWD/lsan.supp"

mkdir -p corpus
echo "== fuzzing the modern formats for ${seconds}s"
status=0
./modernformats_fuzz corpus "$seeds" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
  -print_final_stats=1 >fuzz.log 2>&1 || status=1
tail -n 12 fuzz.log
exit $status
