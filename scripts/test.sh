#!/usr/bin/env bash
# The one command that installs what is missing, does all three builds and runs every
# test: the native unit tests and the Wine integration tests of the win64 build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
start=$(date +%s)

bash scripts/install-deps.sh
bash scripts/build.sh native win64 win32

status=0
echo "== native unit tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc)" || status=1
echo "== Wine integration tests (win64)"
ctest --test-dir build/win64 --output-on-failure || status=1

echo "== all tests took $(( $(date +%s) - start )) s"
exit $status
