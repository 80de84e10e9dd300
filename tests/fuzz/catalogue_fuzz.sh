#!/usr/bin/env bash
# Builds the catalogue cache reader's libFuzzer target with clang (ASan + UBSan) and runs
# it for a bounded time on a copy of the committed seed corpus.
# usage: tests/fuzz/catalogue_fuzz.sh [seconds=30] [build folder=build/fuzz]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-30}
out=${2:-$top/build/fuzz}
mkdir -p "$out/catalogue_work"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$top/host" \
  "$top/tests/fuzz/catalogue_load_fuzz.cpp" \
  "$top/host/catalogue/cache_file.cpp" "$top/host/catalogue/pic_list.cpp" \
  "$top/host/catalogue/catalogue_fs.cpp" "$top/host/catalogue/catalogue_fs_posix.cpp" \
  "$top/host/common/exception.cpp" "$top/host/common/code_page.cpp" \
  -o "$out/catalogue_load_fuzz"
cd "$out"
./catalogue_load_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 catalogue_work "$top/tests/fuzz/catalogue_corpus"
