#!/usr/bin/env bash
# The one command that installs what is missing, does all three builds and the two
# installers and runs every test: the native unit tests, bounded fuzzing of the file
# readers, and the Wine integration tests of the win64 build (its installer among them).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
start=$(date +%s)
logs=build/test-logs
mkdir -p "$logs"

bash scripts/install-deps.sh
bash scripts/build.sh native win64 win32
bash scripts/package.sh win64 win32

status=0
echo "== fuzzing the catalogue cache reader and the picture readers"
bash tests/fuzz/catalogue_fuzz.sh 30 build/fuzz >"$logs/fuzz-catalogue.log" 2>&1 \
  && echo "catalogue cache reader: no findings" || { status=1; tail -n 40 "$logs/fuzz-catalogue.log"; }
bash tests/fuzz/stdformats_fuzz.sh 15 build/fuzz >"$logs/fuzz-stdformats.log" 2>&1 \
  && echo "BMP, PPM, JPEG and EXIF readers: no findings" || { status=1; tail -n 60 "$logs/fuzz-stdformats.log"; }
bash tests/fuzz/modernformats_fuzz.sh 15 build/fuzz >"$logs/fuzz-modernformats.log" 2>&1 \
  && echo "WebP, HEIF and AVIF glue: no findings" || { status=1; tail -n 60 "$logs/fuzz-modernformats.log"; }

echo "== native unit tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc)" 2>&1 | tee "$logs/native.log" || status=1
echo "== Wine integration tests (win64)"
ctest --test-dir build/win64 --output-on-failure 2>&1 | tee "$logs/wine.log" || status=1

# One closing line for both test runs.
passed=0; failed=0
for log in "$logs/native.log" "$logs/wine.log"; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then status=1; continue; fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad)); failed=$((failed + bad))
done
[ "$failed" -eq 0 ] || status=1
echo "== all tests took $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
exit $status
