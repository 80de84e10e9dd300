#!/usr/bin/env bash
# Builds the stdformats fuzz targets with clang's libFuzzer and AddressSanitizer and runs
# each for a bounded time on seeds generated here (not part of the normal test run).
# usage: tests/fuzz/stdformats_fuzz.sh [seconds per target, default 60]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
out="$top/build/std-fuzz"
mkdir -p "$out"
cd "$out"

core=(byte_source.cpp bmp_reader.cpp decode.cpp exif_orientation.cpp module_heap.cpp
      ppm_reader.cpp size_rules.cpp)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$top/plugins/stdformats" -I"$top/plugin-api" -I"$top/host")
clang -O1 -g -fsanitize=fuzzer-no-link,address -I"$top/plugins/stdformats" \
  -c "$top/plugins/stdformats/jpeg_glue.c" -o jpeg_glue.o
objs=(jpeg_glue.o)
for f in "${core[@]}" ; do
  clang++ "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$top/plugins/stdformats/$f" -o "${f%.cpp}.o"
  objs+=("${f%.cpp}.o")
done
clang++ "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$top/host/common/exception.cpp" -o exception.o
objs+=(exception.o)

# Seeds: small pictures of every accepted variant (the first byte is the option byte).
seeds="$out/seeds"
rm -rf "$seeds" && mkdir -p "$seeds"/{bmp,ppm,jpeg,exif}
tmp=$(mktemp -d)
convert -size 23x11 gradient:red-blue "$tmp/a.png"
convert "$tmp/a.png" -type truecolor "bmp3:$tmp/24.bmp"
convert "$tmp/a.png" -colors 16 -type palette "bmp3:$tmp/8.bmp"
convert "$tmp/a.png" -colors 16 -type palette "bmp2:$tmp/os2.bmp"
convert "$tmp/a.png" -compress none "$tmp/p3.ppm"
convert "$tmp/a.png" "$tmp/p6.ppm"
convert "$tmp/a.png" -colorspace gray -compress none "$tmp/p2.pgm"
convert "$tmp/a.png" -colorspace gray "$tmp/p5.pgm"
convert "$tmp/a.png" -depth 16 "$tmp/p6w.ppm"
convert "$tmp/a.png" -quality 80 "$tmp/base.jpg"
convert "$tmp/a.png" -interlace JPEG "$tmp/prog.jpg"
convert "$tmp/a.png" -colorspace gray "$tmp/gray.jpg"
convert "$tmp/a.png" -orient RightTop "$tmp/exif.jpg"
for f in "$tmp"/*.bmp; do { printf '\x00'; cat "$f"; } > "$seeds/bmp/$(basename "$f")"; done
for f in "$tmp"/*.p?m; do { printf '\x00'; cat "$f"; } > "$seeds/ppm/$(basename "$f")"; done
for f in "$tmp"/*.jpg; do
  { printf '\x00'; cat "$f"; } > "$seeds/jpeg/$(basename "$f")"
  { printf '\x11'; cat "$f"; } > "$seeds/jpeg/sink-$(basename "$f")"
  cp "$f" "$seeds/exif/"
done
rm -rf "$tmp"

status=0
for target in bmp ppm jpeg exif; do
  clang++ "${flags[@]}" "$top/tests/fuzz/stdformats_${target}_fuzz.cpp" "${objs[@]}" -ljpeg \
    -o "stdformats_${target}_fuzz"
  mkdir -p "corpus/$target"
  echo "== fuzzing $target for ${seconds}s"
  ./"stdformats_${target}_fuzz" "corpus/$target" "$seeds/$target" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 >"fuzz-$target.log" 2>&1 || status=1
  tail -n 12 "fuzz-$target.log"
done
exit $status
