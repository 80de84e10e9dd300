#!/usr/bin/env bash
# Builds the stdformats fuzz targets with clang's libFuzzer and AddressSanitizer and runs
# each for a bounded time on the committed seed corpus.
# usage: tests/fuzz/stdformats_fuzz.sh [seconds per target, default 60] [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
out=${2:-$top/build/fuzz}/stdformats
mkdir -p "$out"
cd "$out"

core=(byte_source.cpp bmp_reader.cpp decode.cpp exif_orientation.cpp ink_rows.cpp module_heap.cpp
      ppm_reader.cpp size_rules.cpp)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$top/plugins/stdformats" -I"$top/plugins" -I"$top/plugin-api" -I"$top/host")
clang -O1 -g -fsanitize=fuzzer-no-link,address -I"$top/plugins/stdformats" \
  -c "$top/plugins/stdformats/jpeg_glue.c" -o jpeg_glue.o
objs=(jpeg_glue.o)
for f in "${core[@]}" ; do
  clang++ "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$top/plugins/stdformats/$f" -o "${f%.cpp}.o"
  objs+=("${f%.cpp}.o")
done
for f in heap_block.cpp decode_args.cpp exif_reader.cpp; do
  clang++ "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$top/plugins/plugincommon/$f" -o "${f%.cpp}.o"
done
clang++ "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$top/host/common/exception.cpp" -o exception.o
objs+=(heap_block.o decode_args.o exif_reader.o exception.o)

# Seeds: the committed corpus of small pictures of every accepted variant (the first
# byte of a BMP, PPM or JPEG seed is the target's option byte).
seeds="$top/tests/fuzz/stdformats_corpus"

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
