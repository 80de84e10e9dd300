#!/usr/bin/env bash
# Builds the two installers from the Windows builds' dist folders:
#   build/win64/installer/Kelvora-<version>-x64-setup.exe
#   build/win32/installer/Kelvora-<version>-x86-setup.exe
# The version is the program's own (program_version.h, made from the top CMakeLists.txt).
# usage: scripts/package.sh [win64|win32 ...]   (default: both; each build must exist)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(win64 win32)

for b in "${builds[@]}"; do
  case "$b" in
    win64) arch=x64 ;;
    win32) arch=x86 ;;
    *) echo "unknown build: $b" >&2; exit 2 ;;
  esac
  build="$top/build/$b"
  version=$(sed -n 's/^#define KELV_VERSION_TEXT "\(.*\)"/\1/p' "$build/host/generated/program_version.h")
  [ -n "$version" ] || { echo "no program version in $build" >&2; exit 1; }
  mkdir -p "$build/installer"
  echo "== packaging $b: Kelvora-$version-$arch-setup.exe"
  makensis -V2 -DVERSION="$version" -DARCH="$arch" -DDIST="$build/dist" -DOUTDIR="$build/installer" \
    -DICON="$build/host/generated/dialog.ico" installer/kelvora.nsi
done
