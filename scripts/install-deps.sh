#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need: every build,
# test, fuzz run, benchmark comparison and the demo uses only these and what a fresh
# Debian 12 has. Packages already present are left alone; apt is only asked when
# something is missing. Installs are --no-install-recommends, so whatever a tool only
# recommends (fonts above all) is named here itself.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 dpkg-dev clang libclang-rt-14-dev
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
  nasm
  googletest libgtest-dev libbenchmark-dev libjpeg62-turbo-dev
  wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick
  libjpeg-turbo-progs libimage-exiftool-perl
  # The one font file every text the tests and the demo draw names
  # (tests/wine/pictures.py); ImageMagick's default font needs Ghostscript's fonts.
  fonts-dejavu-core
  # Glyphs Wine takes for names in other scripts (the tests of names in any script): CJK
  # from WenQuanYi Micro Hei, symbols and emoji (U+2600, U+1F305) from Symbola; Cyrillic
  # and Latin come from DejaVu.
  fonts-wqy-microhei fonts-symbola
  # The outside tools the benchmark comparisons run (bench/README.md), and the library
  # bench_compare_bench times in its own process.
  python3-pil libvips-tools libvips-dev
  # chmcmd, which compiles the help file Help.chm in the Windows builds (help/): the
  # package fp-utils brings fp-utils-3.2.2, whose chmcmd-3.2.2 it links as /usr/bin/chmcmd.
  fp-utils
  # makensis and its x86/amd64 stubs, which build the two installers (installer/).
  nsis
  # The modern-formats module: meson builds dav1d for Windows (scripts/build-modernlibs.sh);
  # the native build (unit tests, fuzzing) links the same Debian releases of libheif and
  # libwebp; the Debian tools make and check its test pictures.
  meson pkg-config libheif-dev libwebp-dev
  webp libheif-examples libavif-bin
)

# Other builds on this machine may run apt at the same time: wait for its lock.
apt_opts=(-o DPkg::Lock::Timeout=600)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# DPkg::Lock::Timeout makes an install wait for another apt's lock, but an update takes
# the package lists' lock, which it does not cover: an update that finds that lock taken
# is tried again, for up to 10 minutes.
apt_update() {
  local out end=$((SECONDS + 600))
  until out=$("${sudo_cmd[@]}" env LC_ALL=C apt-get "${apt_opts[@]}" update -qq 2>&1); do
    if ! grep -q 'Could not get lock' <<<"$out" || [ "$SECONDS" -ge "$end" ]; then
      printf '%s\n' "$out" >&2
      return 1
    fi
    echo "apt-get update: the package lists are locked by another apt; trying again"
    sleep 5
  done
  [ -z "$out" ] || printf '%s\n' "$out"
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_update
  # wine32 must stay away: this machine cannot run 32-bit code, and with it the wine
  # wrapper would pick the 32-bit loader. We always call the 64-bit loader directly.
  # fonts-wine is only recommended by Wine: without it Wine has no fonts of its own.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Windows libjpeg is cross-built from Debian's own source package, which needs a
# source entry beside the binary ones. Derive it from the configured binary entries.
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
  list=/etc/apt/sources.list.d/kelvora-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | "${sudo_cmd[@]}" tee "$list" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/kelvora-deb-src.list >/dev/null
  fi
  apt_update
fi
